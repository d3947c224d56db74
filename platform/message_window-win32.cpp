#include <windows.h>

#include <string>

#include "platform/console.h"
#include "platform/message_window.h"
#include "platform/unicode.h"
#include "platform/window_station-win32.h"

namespace platform {
namespace {

using MessageBoxEntry = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT);

// user32 is loaded only to show a message: linked in, it would be loaded by
// every run, and that is most of the start-up time of one that shows none.
// It is a known DLL, so the system's own copy is the only one ever loaded.
int ShowMessageBox(const std::wstring& caption, const std::wstring& text) {
  HMODULE user32 = LoadLibraryW(L"user32.dll");
  if (user32 == nullptr) return 0;
  const auto message_box = reinterpret_cast<MessageBoxEntry>(
      reinterpret_cast<void*>(GetProcAddress(user32, "MessageBoxW")));
  const int answer =
      message_box == nullptr ? 0 : message_box(nullptr, text.c_str(), caption.c_str(), MB_OK);
  FreeLibrary(user32);
  return answer;
}

}  // namespace

void ShowMessageWindow(const std::u16string& caption, const std::u16string& text) {
  // With no desktop to show it on, or none anybody sees, where MessageBoxW
  // would wait unseen for ever, the message must still reach someone.
  if (!WindowStationVisible() || ShowMessageBox(std::wstring(caption.begin(), caption.end()),
                                                std::wstring(text.begin(), text.end())) <= 0) {
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
