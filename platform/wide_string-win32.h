#pragma once

#include <string>

#include "platform/unicode.h"

namespace platform {

inline std::wstring WideString(const std::string& utf8) {
  const std::u16string text = Utf8ToUtf16(utf8);
  return std::wstring(text.begin(), text.end());
}

inline std::string Utf8String(const wchar_t* wide) {
  const std::wstring text(wide);
  return Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

}  // namespace platform
