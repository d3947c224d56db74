#pragma once

#include <stdexcept>
#include <string>

// A step of a copy that failed on the device's side; the text names the step.
class CopyFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The device could not be reached: no connection, or none within the bound.
class ConnectionFailure : public CopyFailure {
 public:
  using CopyFailure::CopyFailure;
};

// A device path as messages show it, in double quotes.
std::string Quoted(const std::string& device_path);

// The message for a device file operation that failed; file is how the
// message names the file, quoted.
[[noreturn]] void ThrowDeviceFailure(const char* action, const std::string& file,
                                     const std::string& reason);

// Writes the failure's line to standard error and shows the copy-failure window.
void ReportFailure(const std::string& description);
