#pragma once

#include <stdexcept>
#include <string>

// A step of a copy that failed on the device's side; the text names the step.
class CopyFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The message for a device file operation that failed.
[[noreturn]] void ThrowDeviceFailure(const char* action, const std::string& device_path,
                                     const std::string& reason);

// Writes the failure's line to standard error and shows the copy-failure window.
void ReportFailure(const std::string& description);
