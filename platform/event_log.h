#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum class EventType { kError, kWarning, kInformation };

// Whether the system keeps a log of what programs report, which
// administrators read and forward: Windows' Application log. POSIX has none
// of its own; cron and the journal keep what goes to standard error.
bool HasEventLog();

// Writes one event under source: its type, its ID in the source's message
// table and the strings (UTF-8) the message takes. Where the source is not
// registered the event is still written, its strings shown without the
// message. A failure to write it is silent: it changes nothing else.
void WriteEvent(const std::string& source, EventType type, std::uint32_t id,
                const std::vector<std::string>& strings);

}  // namespace platform
