#include <cerrno>
#include <cstring>

#include "platform/system_error.h"

namespace platform {

std::string LastSystemErrorText() { return std::strerror(errno); }

std::optional<std::string> Win32ErrorText(std::uint32_t /*code*/) { return std::nullopt; }

}  // namespace platform
