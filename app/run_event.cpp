#include "app/run_event.h"

#include "app/lower_case.h"
#include "texts/texts.h"

namespace {

std::string Lines(const std::vector<std::string>& lines) {
  std::string joined;
  for (const std::string& line : lines) joined += (joined.empty() ? "" : "\r\n") + line;
  return joined;
}

// To a tenth, with the language's decimal mark: "2.5" or "2,5".
std::string Seconds(std::chrono::milliseconds taken) {
  const long long tenths = taken.count() < 0 ? 0 : (taken.count() + 50) / 100;
  const char* mark = CurrentLanguage() == Language::kPolish ? "," : ".";
  return std::to_string(tenths / 10) + mark + std::to_string(tenths % 10);
}

}  // namespace

std::optional<EventLogSetting> EventLogSettingFrom(const std::optional<std::string>& value) {
  if (!value) return EventLogSetting::kFailures;
  const std::string name = LowerCase(*value);
  if (name == "off") return EventLogSetting::kOff;
  if (name == "failures") return EventLogSetting::kFailures;
  if (name == "all") return EventLogSetting::kAll;
  return std::nullopt;
}

std::optional<RunEvent> EventFor(EventLogSetting setting, const CopyEnd& end,
                                 const std::string& option, const std::string& file,
                                 std::chrono::milliseconds taken) {
  if (setting == EventLogSetting::kOff) return std::nullopt;
  switch (end.outcome) {
    case CopyOutcome::kCopied:
      if (setting != EventLogSetting::kAll) return std::nullopt;
      return RunEvent{platform::EventType::kInformation,
                      kCopiedEvent,
                      {option, file, std::to_string(end.bytes), Seconds(taken)}};
    case CopyOutcome::kFailed:
      return RunEvent{platform::EventType::kError, kFailedEvent, {option, file, Lines(end.lines)}};
    case CopyOutcome::kNoDevice:
      return RunEvent{
          platform::EventType::kWarning, kNoDeviceEvent, {option, file, Lines(end.lines)}};
    case CopyOutcome::kStopped: break;
  }
  return RunEvent{platform::EventType::kWarning, kStoppedEvent, {option, file, Lines(end.lines)}};
}
