#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// What the system says of the user's language: the user's UI language on
// Windows (a LANGID), the locale variables on POSIX (set and not empty).
struct UserLocale {
  std::optional<std::uint16_t> ui_language;
  std::optional<std::string> lc_all;
  std::optional<std::string> lc_messages;
  std::optional<std::string> lang;
};

UserLocale CurrentUserLocale();

}  // namespace platform
