#pragma once

#include <string>
#include <vector>

namespace platform {

// Why a library was not loaded.
enum class LoadFailure {
  kNone,
  kNotAbsolute,             // a path without a folder, which a search would resolve
  kNoSuchFile,              // none of the paths exists
  kSystemDirectoryUnknown,  // Windows: the folder it belongs in
  kRefused,                 // the system's loader refused it, for reason()
};

// A shared library loaded from a full path, never through a search path,
// and released with the object. Loading never throws: a library that could
// not be loaded finds nothing and keeps why.
class DynamicLibrary {
 public:
  explicit DynamicLibrary(const std::string& path);
  // POSIX only, where the library's file name changed between its releases:
  // the first of these paths that exists; when none does, nothing is loaded.
  explicit DynamicLibrary(const std::vector<std::string>& paths);
  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  bool loaded() const { return handle_ != nullptr; }
  // The address of an export, or null when there is none.
  void* Find(const char* name) const;
  // The same, as the export's own pointer type.
  template <typename Entry>
  Entry Find(const char* name) const {
    return reinterpret_cast<Entry>(Find(name));
  }
  // The path (UTF-8), and why loading failed, for messages: the system's
  // reason where it refused the file; the paths also tried where none exists.
  const std::string& path() const { return path_; }
  LoadFailure failure() const { return failure_; }
  const std::string& reason() const { return reason_; }
  const std::vector<std::string>& also_tried() const { return also_tried_; }

 private:
  void* handle_ = nullptr;
  std::string path_;
  LoadFailure failure_ = LoadFailure::kNone;
  std::string reason_;
  std::vector<std::string> also_tried_;
};

// The remote API library of this platform, from where it is installed.
DynamicLibrary RemoteApiLibrary();

}  // namespace platform
