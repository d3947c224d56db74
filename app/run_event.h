#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/transfer/copy_outcome.h"
#include "platform/event_log.h"

// Which runs write an event to Windows' Application log (FILECOPY_EVENT_LOG).
enum class EventLogSetting {
  kOff,
  kFailures,  // each run that fails, finds no device or loses it, or is stopped
  kAll,       // those, and each copy made
};

// "off", "failures" or "all", in any case; unset (or empty) is failures; any
// other value is nothing, which the run refuses.
std::optional<EventLogSetting> EventLogSettingFrom(const std::optional<std::string>& value);

// The source the events are written under, and their IDs, one per outcome:
// the messages of FileCopy.exe's message table (release/windows/FileCopy.mc).
inline constexpr const char* kEventSource = "FileCopy";
inline constexpr std::uint32_t kCopiedEvent = 100;
inline constexpr std::uint32_t kFailedEvent = 101;
inline constexpr std::uint32_t kNoDeviceEvent = 102;
inline constexpr std::uint32_t kStoppedEvent = 103;

struct RunEvent {
  platform::EventType type;
  std::uint32_t id;
  // The message's inserts: %1 the option, %2 the local file as given; then
  // %3 the lines said on standard error, one a line; or, for a copy made,
  // %3 the bytes copied and %4 the seconds it took.
  std::vector<std::string> strings;
};

// The event that a copy's end writes under setting, if any, in the current
// language. option: "-d" or "-u"; taken: from the start of the copy.
std::optional<RunEvent> EventFor(EventLogSetting setting, const CopyEnd& end,
                                 const std::string& option, const std::string& file,
                                 std::chrono::milliseconds taken);
