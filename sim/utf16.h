#pragma once

#include <string>
#include <string_view>

// The device speaks UTF-16; the host's names and the call log are UTF-8.

namespace sim {

// Copies a NUL-terminated string of 16-bit units, whatever their C type.
template <typename Unit>
std::u16string CopyUtf16(const Unit* text) {
  std::u16string copy;
  for (; *text != 0; ++text) copy += static_cast<char16_t>(*text);
  return copy;
}

bool HasUnpairedSurrogate(std::u16string_view text);
// Unpaired surrogates become U+FFFD.
void AppendUtf8(std::string& out, std::u16string_view text);

}  // namespace sim
