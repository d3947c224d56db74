#include <windows.h>

#include <string>

#include "platform/system_error.h"
#include "platform/unicode.h"

namespace platform {

std::string LastSystemErrorText() {
  const DWORD code = GetLastError();
  return Win32ErrorText(code).value_or("system error " + std::to_string(code));
}

std::optional<std::string> Win32ErrorText(std::uint32_t code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (length == 0 || text == nullptr) return std::nullopt;
  std::u16string message(text, text + length);
  LocalFree(text);
  while (!message.empty() && (message.back() == u'\r' || message.back() == u'\n')) {
    message.pop_back();
  }
  return Utf16ToUtf8(message);
}

}  // namespace platform
