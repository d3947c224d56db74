#pragma once

#include <stdexcept>
#include <string>

#include "device/remote_api/call_in_progress.h"
#include "device/remote_api/remote_entries.h"
#include "platform/dynamic_library.h"

// Raised by a call through an entry the library did not provide.
class RemoteEntryMissing : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

[[noreturn]] void ThrowRemoteEntryMissing(const char* name,
                                          const platform::DynamicLibrary& library);

template <typename Pointer>
class RemoteEntry;

// One entry point of the remote API: called like the function itself, it
// raises RemoteEntryMissing instead of calling when the library lacks it.
// Each call is recorded while it runs, for a watch on the link (CallInProgress).
template <typename Result, typename... Parameters>
class RemoteEntry<Result(FILECOPY_RAPI_CALL*)(Parameters...)> {
 public:
  using Pointer = Result(FILECOPY_RAPI_CALL*)(Parameters...);

  RemoteEntry(const char* name, const platform::DynamicLibrary& library, CallInProgress& calls)
      : name_(name), library_(library), calls_(calls) {}

  Result operator()(Parameters... arguments) const {
    Require();
    const RecordedCall recorded(calls_, name_);
    return address_(arguments...);
  }
  const char* name() const { return name_; }
  void Require() const {
    if (address_ == nullptr) ThrowRemoteEntryMissing(name_, library_);
  }
  explicit operator bool() const { return address_ != nullptr; }

  void Bind(Pointer address) { address_ = address; }

 private:
  Pointer address_ = nullptr;
  const char* name_;
  const platform::DynamicLibrary& library_;
  CallInProgress& calls_;
};

// The Windows CE Remote API, bound at run time. Construction loads the
// library and looks up every entry by its exact name; it never fails, it
// leaves unavailable entries empty. Destruction releases the library.
class TRAPI {
 public:
  // The platform's own remote API library.
  TRAPI();
  // The library at this absolute path.
  explicit TRAPI(const std::string& library_path);
  TRAPI(const TRAPI&) = delete;
  TRAPI& operator=(const TRAPI&) = delete;

#define FILECOPY_DECLARE_ENTRY(name, result, parameters) \
  RemoteEntry<name##Entry> name{#name, library_, calls_};
  FILECOPY_REMOTE_ENTRIES(FILECOPY_DECLARE_ENTRY)
#undef FILECOPY_DECLARE_ENTRY

  // The call the copy's thread is in, for a watch on the link.
  CallInProgress& calls() const { return calls_; }

 private:
  void BindEntries();

  // Declared last, as the entries only keep references to them; they are
  // constructed before the constructor body binds the entries.
  mutable CallInProgress calls_;
  platform::DynamicLibrary library_;
};
