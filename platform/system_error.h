#pragma once

#include <string>

namespace platform {

// The system's own text (UTF-8) for the error the last failed call left.
std::string LastSystemErrorText();

}  // namespace platform
