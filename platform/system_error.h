#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// The language the system's texts are asked for in from now on: English, or
// the user's own (on POSIX the locale LC_ALL, LC_MESSAGES or LANG names; on
// Windows the user's UI language). Where the system has none in it, whatever
// it has. Until then, the system's default: on POSIX, whose C locale the
// program keeps, English; on Windows the user's language.
enum class SystemTextLanguage { kEnglish, kUsers };
void SetSystemTextLanguage(SystemTextLanguage language);

// The system's own text (UTF-8) for the error the last failed call left.
std::string LastSystemErrorText();

// The system's own text (UTF-8) for a Win32 error code, without its line end;
// nothing where the system has none: on POSIX, which has no Win32 texts.
std::optional<std::string> Win32ErrorText(std::uint32_t code);

}  // namespace platform
