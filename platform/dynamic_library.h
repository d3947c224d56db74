#pragma once

#include <string>
#include <vector>

namespace platform {

// A shared library loaded from a full path, never through a search path,
// and released with the object. Loading never throws: a library that could
// not be loaded finds nothing and keeps the system's reason.
class DynamicLibrary {
 public:
  explicit DynamicLibrary(const std::string& path);
  // POSIX only, where the library's file name changed between its releases:
  // the first of these paths that exists; when none does, nothing is loaded
  // and the reason names the others.
  explicit DynamicLibrary(const std::vector<std::string>& paths);
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

// The remote API library of this platform, from where it is installed.
DynamicLibrary RemoteApiLibrary();

}  // namespace platform
