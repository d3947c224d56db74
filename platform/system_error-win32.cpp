#include <windows.h>

#include <string>

#include "platform/system_error.h"
#include "platform/unicode.h"

namespace platform {

std::string LastSystemErrorText() {
  const DWORD code = GetLastError();
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (length == 0 || text == nullptr) return "system error " + std::to_string(code);
  std::u16string message(text, text + length);
  LocalFree(text);
  while (!message.empty() && (message.back() == u'\r' || message.back() == u'\n')) {
    message.pop_back();
  }
  return Utf16ToUtf8(message);
}

}  // namespace platform
