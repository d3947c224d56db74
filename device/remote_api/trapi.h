#pragma once

#include <stdexcept>
#include <string>

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
template <typename Result, typename... Parameters>
class RemoteEntry<Result(FILECOPY_RAPI_CALL*)(Parameters...)> {
 public:
  using Pointer = Result(FILECOPY_RAPI_CALL*)(Parameters...);

  RemoteEntry(const char* name, const platform::DynamicLibrary& library)
      : name_(name), library_(library) {}

  Result operator()(Parameters... arguments) const {
    Require();
    return address_(arguments...);
  }
  void Require() const {
    if (address_ == nullptr) ThrowRemoteEntryMissing(name_, library_);
  }
  explicit operator bool() const { return address_ != nullptr; }

  void Bind(Pointer address) { address_ = address; }

 private:
  Pointer address_ = nullptr;
  const char* name_;
  const platform::DynamicLibrary& library_;
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
  RemoteEntry<name##Entry> name{#name, library_};
  FILECOPY_REMOTE_ENTRIES(FILECOPY_DECLARE_ENTRY)
#undef FILECOPY_DECLARE_ENTRY

 private:
  void BindEntries();

  // Declared last, as the entries only keep a reference for their messages;
  // it is constructed before the constructor body binds them.
  platform::DynamicLibrary library_;
};
