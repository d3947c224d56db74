#pragma once

#include <stdexcept>
#include <string>

#include "app/texts.h"
#include "local/file_failure.h"

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

// The failure of a device file operation: step is the line's text, which
// takes the file (as messages name it, quoted) and the reason.
[[noreturn]] void ThrowDeviceFailure(Text step, const std::string& file, const std::string& reason);

// The line that tells which step of the local file failed, and why.
std::string Describe(const FileFailure& failure);

// A line of the program's own on standard error: its name, then the text.
std::string ProgramLine(const std::string& text);

// Writes the failure's line to standard error and shows the copy-failure window.
void ReportFailure(const std::string& description);
