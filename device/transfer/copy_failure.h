#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "device/transfer/copy_outcome.h"
#include "local/file_failure.h"
#include "texts/texts.h"

// A step of a copy that failed on the device's side; the text names the step.
class CopyFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The device could not be reached: no connection, none within the bound, or
// the link lost part-way. Advice is the line that may follow, saying why and
// what to do.
class ConnectionFailure : public CopyFailure {
 public:
  explicit ConnectionFailure(const std::string& what, std::optional<std::string> advice = {})
      : CopyFailure(what), advice_(std::move(advice)) {}
  const std::optional<std::string>& advice() const { return advice_; }

 private:
  std::optional<std::string> advice_;
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

// Writes the failure's line to standard error, then its advice, if any,
// records the end with its outcome (kFailed or kNoDevice), and shows the
// copy-failure window.
void ReportFailure(CopyOutcome outcome, const std::string& description,
                   const std::optional<std::string>& advice = std::nullopt);

// Writes the stop's line to standard error and records the end. No window:
// the person asked for it.
void ReportStop(const std::string& line);
