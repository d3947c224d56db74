#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// The system's own text (UTF-8) for the error the last failed call left.
std::string LastSystemErrorText();

// The system's own text (UTF-8) for a Win32 error code, without its line end;
// nothing where the system has none: on POSIX, which has no Win32 texts.
std::optional<std::string> Win32ErrorText(std::uint32_t code);

}  // namespace platform
