#include <windows.h>

#include "platform/environment.h"
#include "platform/unicode.h"

namespace platform {

// Read wide, so a value outside the ANSI code page is shown as it is.
std::optional<std::string> EnvironmentVariable(const char* name) {
  const std::wstring wide_name(name, name + std::char_traits<char>::length(name));
  std::wstring value(64, L'\0');
  for (;;) {
    const DWORD length =
        GetEnvironmentVariableW(wide_name.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) return std::nullopt;
    if (length < value.size()) {
      value.resize(length);
      return Utf16ToUtf8(std::u16string(value.begin(), value.end()));
    }
    // Too small: length is the size needed, terminator included.
    value.resize(length);
  }
}

}  // namespace platform
