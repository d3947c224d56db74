#include <cerrno>
#include <cstring>

#include "platform/system_error.h"

namespace platform {

std::string LastSystemErrorText() { return std::strerror(errno); }

}  // namespace platform
