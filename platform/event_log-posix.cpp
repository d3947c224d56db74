#include "platform/event_log.h"

namespace platform {

bool HasEventLog() { return false; }

void WriteEvent(const std::string& /*source*/, EventType /*type*/, std::uint32_t /*id*/,
                const std::vector<std::string>& /*strings*/) {}

}  // namespace platform
