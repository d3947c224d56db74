#include <windows.h>

#include <string>

#include "platform/system_error.h"
#include "platform/unicode.h"

namespace platform {
namespace {

// 0 lets FormatMessageW take the user's UI language first.
constexpr DWORD kUsersLanguage = 0;
DWORD g_language = kUsersLanguage;

std::optional<std::u16string> MessageText(DWORD code, DWORD language) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, language, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (length == 0 || text == nullptr) return std::nullopt;
  std::u16string message(text, text + length);
  LocalFree(text);
  return message;
}

}  // namespace

void SetSystemTextLanguage(SystemTextLanguage language) {
  g_language = language == SystemTextLanguage::kUsers
                   ? kUsersLanguage
                   : MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
}

std::string LastSystemErrorText() {
  const DWORD code = GetLastError();
  return Win32ErrorText(code).value_or("system error " + std::to_string(code));
}

// A Windows with no English texts (one language's MUI files only) gives its own.
std::optional<std::string> Win32ErrorText(std::uint32_t code) {
  std::optional<std::u16string> message = MessageText(code, g_language);
  if (!message && g_language != kUsersLanguage) message = MessageText(code, kUsersLanguage);
  if (!message) return std::nullopt;
  while (!message->empty() && (message->back() == u'\r' || message->back() == u'\n')) {
    message->pop_back();
  }
  return Utf16ToUtf8(*message);
}

}  // namespace platform
