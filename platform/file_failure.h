#pragma once

#include <stdexcept>
#include <string>

namespace platform {

// A local file operation that failed: the text names the step, the file and
// the system's reason.
class FileFailure : public std::runtime_error {
 public:
  FileFailure(const char* action, const std::string& path, const std::string& reason)
      : std::runtime_error(std::string("cannot ") + action + " local file \"" + path +
                           "\": " + reason) {}
};

}  // namespace platform
