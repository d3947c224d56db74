#pragma once

#include <string>
#include <string_view>

// The device speaks UTF-16; conversions to the host's UTF-8 are the program's
// own (platform/unicode.h).

namespace sim {

// Copies a NUL-terminated string of 16-bit units, whatever their C type.
template <typename Unit>
std::u16string CopyUtf16(const Unit* text) {
  std::u16string copy;
  for (; *text != 0; ++text) copy += static_cast<char16_t>(*text);
  return copy;
}

bool HasUnpairedSurrogate(std::u16string_view text);

}  // namespace sim
