#include "sim/utf16.h"

namespace sim {
namespace {

bool IsLead(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsTrail(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// The code point starting at text[index], and how many units it took.
char32_t DecodeAt(std::u16string_view text, std::size_t index, std::size_t& units) {
  const char16_t unit = text[index];
  units = 1;
  if (IsLead(unit) && index + 1 < text.size() && IsTrail(text[index + 1])) {
    units = 2;
    return 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
           (static_cast<char32_t>(text[index + 1]) - 0xDC00);
  }
  if (IsLead(unit) || IsTrail(unit)) return 0xFFFD;
  return unit;
}

void AppendCodePoint(std::string& out, char32_t point) {
  const auto byte = [&out](char32_t value) { out += static_cast<char>(value); };
  if (point < 0x80) {
    byte(point);
  } else if (point < 0x800) {
    byte(0xC0 | (point >> 6));
    byte(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    byte(0xE0 | (point >> 12));
    byte(0x80 | ((point >> 6) & 0x3F));
    byte(0x80 | (point & 0x3F));
  } else {
    byte(0xF0 | (point >> 18));
    byte(0x80 | ((point >> 12) & 0x3F));
    byte(0x80 | ((point >> 6) & 0x3F));
    byte(0x80 | (point & 0x3F));
  }
}

}  // namespace

bool HasUnpairedSurrogate(std::u16string_view text) {
  std::size_t units = 0;
  for (std::size_t index = 0; index < text.size(); index += units) {
    if (DecodeAt(text, index, units) == 0xFFFD && text[index] != 0xFFFD) return true;
  }
  return false;
}

void AppendUtf8(std::string& out, std::u16string_view text) {
  std::size_t units = 0;
  for (std::size_t index = 0; index < text.size(); index += units) {
    AppendCodePoint(out, DecodeAt(text, index, units));
  }
}

}  // namespace sim
