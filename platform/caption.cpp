#include "platform/caption.h"

#include <cstddef>

namespace platform {
namespace {

// Lower case for the scripts a program name is likely to use: Latin
// (including every Polish letter), Greek and Cyrillic capitals.
char16_t ToLower(char16_t c) {
  if ((c >= u'A' && c <= u'Z') || (c >= 0x00C0 && c <= 0x00DE && c != 0x00D7) ||
      (c >= 0x0391 && c <= 0x03AB && c != 0x03A2) || (c >= 0x0410 && c <= 0x042F)) {
    return static_cast<char16_t>(c + 0x20);
  }
  if (c >= 0x0400 && c <= 0x040F) return static_cast<char16_t>(c + 0x50);
  const bool even = c % 2 == 0;
  if (((c >= 0x0100 && c <= 0x0137) || (c >= 0x014A && c <= 0x0177)) && even) {
    return static_cast<char16_t>(c + 1);
  }
  if (((c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E)) && !even) {
    return static_cast<char16_t>(c + 1);
  }
  if (c == 0x0178) return 0x00FF;
  return c;
}

}  // namespace

std::u16string CaptionFromProgramPath(std::u16string_view path) {
  const std::size_t separator = path.find_last_of(u"\\/");
  std::u16string_view name =
      separator == std::u16string_view::npos ? path : path.substr(separator + 1);
  name = name.substr(0, name.find(u'.'));
  std::u16string caption(name);
  for (std::size_t i = 1; i < caption.size(); ++i) caption[i] = ToLower(caption[i]);
  return caption;
}

}  // namespace platform
