#pragma once

#include <optional>
#include <string>

namespace platform {

// The value (UTF-8) of an environment variable; nothing when it is unset or
// empty, which Windows does not tell apart.
std::optional<std::string> EnvironmentVariable(const char* name);

}  // namespace platform
