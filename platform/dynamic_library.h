#pragma once

#include <string>

namespace platform {

// A shared library loaded from one full path, never through a search path,
// and released with the object. Loading never throws: a library that could
// not be loaded finds nothing and keeps the system's reason.
class DynamicLibrary {
 public:
  explicit DynamicLibrary(const std::string& path);
  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  bool loaded() const { return handle_ != nullptr; }
  // The address of an export, or null when there is none.
  void* Find(const char* name) const;
  // The path, in UTF-8, and why loading failed, for messages.
  const std::string& path() const { return path_; }
  const std::string& failure() const { return failure_; }

 private:
  void* handle_ = nullptr;
  std::string path_;
  std::string failure_;
};

// Where the remote API library is taken from on this platform.
std::string RemoteApiLibraryPath();

}  // namespace platform
