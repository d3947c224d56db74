#include <windows.h>

#include <string>

#include "platform/console.h"
#include "platform/message_window.h"
#include "platform/unicode.h"

namespace platform {

void ShowMessageWindow(const std::u16string& caption, const std::u16string& text) {
  const std::wstring wide_caption(caption.begin(), caption.end());
  const std::wstring wide_text(text.begin(), text.end());
  // With no desktop to show it on, the message must still reach someone.
  if (MessageBoxW(nullptr, wide_text.c_str(), wide_caption.c_str(), MB_OK) <= 0) {
    WriteErrorLine(Utf16ToUtf8(caption) + ": " + Utf16ToUtf8(text));
  }
}

std::u16string ProgramFilePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return u"FileCopy.exe";
    if (length < path.size()) return std::u16string(path.data(), path.data() + length);
    path.resize(path.size() * 2);
  }
}

}  // namespace platform
