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

// The record comes before the window: someone may leave it open for long, or
// close the console instead, which ends the process there.
void ReportFailure(CopyOutcome outcome, const std::string& description,
                   const std::optional<std::string>& advice) {
  CopyEnd end{outcome, {description}};
  if (advice) end.lines.push_back(*advice);
  for (const std::string& line : end.lines) platform::WriteErrorLine(ProgramLine(line));
  RecordEnd(end);
  ReportCopyError();
}

void ReportStop(const std::string& line) {
  platform::WriteErrorLine(ProgramLine(line));
  RecordEnd({CopyOutcome::kStopped, {line}});
}
