#include "platform/unicode.h"

#include <cstddef>
#include <cstdint>

namespace platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0U) == 0x80U; }

// Decodes one sequence starting at text[index]; advances index past it.
char32_t DecodeUtf8(std::string_view text, std::size_t& index) {
  const auto lead = static_cast<unsigned char>(text[index++]);
  if (lead < 0x80U) return lead;
  std::size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0U) == 0xC0U) {
    length = 1, value = lead & 0x1FU, minimum = 0x80;
  } else if ((lead & 0xF0U) == 0xE0U) {
    length = 2, value = lead & 0x0FU, minimum = 0x800;
  } else if ((lead & 0xF8U) == 0xF0U) {
    length = 3, value = lead & 0x07U, minimum = 0x10000;
  } else {
    return kReplacement;
  }
  for (std::size_t i = 0; i < length; ++i) {
    if (index >= text.size() || !IsContinuation(static_cast<unsigned char>(text[index]))) {
      return kReplacement;
    }
    value = (value << 6U) | (static_cast<unsigned char>(text[index++]) & 0x3FU);
  }
  if (value < minimum || value > 0x10FFFF) return kReplacement;
  return value;
}

void AppendUtf8(std::string& out, char32_t value) {
  if (value < 0x80) {
    out += static_cast<char>(value);
  } else if (value < 0x800) {
    out += static_cast<char>(0xC0U | (value >> 6U));
    out += static_cast<char>(0x80U | (value & 0x3FU));
  } else if (value < 0x10000) {
    out += static_cast<char>(0xE0U | (value >> 12U));
    out += static_cast<char>(0x80U | ((value >> 6U) & 0x3FU));
    out += static_cast<char>(0x80U | (value & 0x3FU));
  } else {
    out += static_cast<char>(0xF0U | (value >> 18U));
    out += static_cast<char>(0x80U | ((value >> 12U) & 0x3FU));
    out += static_cast<char>(0x80U | ((value >> 6U) & 0x3FU));
    out += static_cast<char>(0x80U | (value & 0x3FU));
  }
}

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t index = 0; index < text.size();) {
    const char32_t value = DecodeUtf8(text, index);
    if (value >= 0x10000) {
      const char32_t offset = value - 0x10000;
      out += static_cast<char16_t>(0xD800U + (offset >> 10U));
      out += static_cast<char16_t>(0xDC00U + (offset & 0x3FFU));
    } else {
      out += static_cast<char16_t>(value);
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t index = 0; index < text.size(); ++index) {
    const char32_t unit = text[index];
    if (IsHighSurrogate(unit) && index + 1 < text.size() && IsLowSurrogate(text[index + 1])) {
      const char32_t low = text[++index];
      AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10U) + (low - 0xDC00));
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

}  // namespace platform
