#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "platform/dynamic_library.h"

namespace platform {
namespace {

// Only a path with nothing there is passed over; any other trouble with it
// (a folder that may not be searched) is for dlopen to report.
bool Missing(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

}  // namespace

DynamicLibrary::DynamicLibrary(const std::string& path)
    : DynamicLibrary(std::vector<std::string>{path}) {}

DynamicLibrary::DynamicLibrary(const std::vector<std::string>& paths) {
  // A name without a slash would go through the search path.
  const auto relative = std::find_if(paths.begin(), paths.end(), [](const std::string& path) {
    return path.empty() || path.front() != '/';
  });
  if (relative != paths.end()) {
    path_ = *relative;
    failure_ = LoadFailure::kNotAbsolute;
    return;
  }
  const auto found = std::find_if_not(paths.begin(), paths.end(), Missing);
  if (found == paths.end()) {
    path_ = paths.front();
    failure_ = LoadFailure::kNoSuchFile;
    also_tried_.assign(paths.begin() + 1, paths.end());
    return;
  }
  path_ = *found;
  handle_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    failure_ = LoadFailure::kRefused;
    reason_ = dlerror();
  }
}

DynamicLibrary::~DynamicLibrary() {
  if (handle_ != nullptr) dlclose(handle_);
}

void* DynamicLibrary::Find(const char* name) const {
  return handle_ == nullptr ? nullptr : dlsym(handle_, name);
}

}  // namespace platform
