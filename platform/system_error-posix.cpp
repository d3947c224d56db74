#include "platform/system_error.h"

#include <cerrno>
#include <cstring>

namespace platform {

std::string LastSystemErrorText() { return std::strerror(errno); }

}  // namespace platform
