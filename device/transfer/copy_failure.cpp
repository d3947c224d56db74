#include "device/transfer/copy_failure.h"

#include "device/transfer/report_copy_error.h"
#include "platform/console.h"

std::string Quoted(const std::string& device_path) { return "\"" + device_path + "\""; }

void ThrowDeviceFailure(Text step, const std::string& file, const std::string& reason) {
  throw CopyFailure(Say(step, {file, reason}));
}

std::string Describe(const FileFailure& failure) {
  Text step = Text::kLocalOpen;
  switch (failure.step()) {
    case FileStep::kOpen: step = Text::kLocalOpen; break;
    case FileStep::kRead: step = Text::kLocalRead; break;
    case FileStep::kCreate: step = Text::kLocalCreate; break;
    case FileStep::kWrite: step = Text::kLocalWrite; break;
    case FileStep::kReplace: step = Text::kLocalReplace; break;
    case FileStep::kFlush: step = Text::kLocalFlush; break;
  }
  return Say(step, {failure.path(), failure.what()});
}

std::string ProgramLine(const std::string& text) { return "FileCopy: " + text; }

void ReportFailure(const std::string& description, const std::optional<std::string>& advice) {
  platform::WriteErrorLine(ProgramLine(description));
  if (advice) platform::WriteErrorLine(ProgramLine(*advice));
  ReportCopyError();
}
