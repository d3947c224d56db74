#include <windows.h>

#include "platform/console.h"
#include "platform/wide_string-win32.h"
#include "platform/window_station-win32.h"

namespace platform {
namespace {

// Keys that yield no character but still end the wait, as the console
// layer's special-key table has them: function, cursor and editing keys.
bool IsSpecialKey(WORD key) {
  return (key >= VK_F1 && key <= VK_F12) || (key >= VK_PRIOR && key <= VK_DOWN) ||
         key == VK_INSERT || key == VK_DELETE || key == VK_CLEAR;
}

// The console's own input device in mode 0 (no line input, no echo, no
// Ctrl+C processing) for the object's lifetime.
class RawConsoleInput {
 public:
  RawConsoleInput()
      : input_(CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr)) {
    raw_ = input_ != INVALID_HANDLE_VALUE && GetConsoleMode(input_, &saved_mode_) &&
           SetConsoleMode(input_, 0);
  }
  ~RawConsoleInput() {
    if (raw_) SetConsoleMode(input_, saved_mode_);
    if (input_ != INVALID_HANDLE_VALUE) CloseHandle(input_);
  }
  RawConsoleInput(const RawConsoleInput&) = delete;
  RawConsoleInput& operator=(const RawConsoleInput&) = delete;

  bool available() const { return raw_; }

  void ReadOneKey() {
    INPUT_RECORD event{};
    DWORD count = 0;
    while (ReadConsoleInputA(input_, &event, 1, &count) && count == 1) {
      const KEY_EVENT_RECORD& key = event.Event.KeyEvent;
      if (event.EventType == KEY_EVENT && key.bKeyDown &&
          (key.uChar.AsciiChar != 0 || IsSpecialKey(key.wVirtualKeyCode))) {
        return;
      }
    }
  }

 private:
  HANDLE input_;
  DWORD saved_mode_ = 0;
  bool raw_ = false;
};

}  // namespace

// A process in a window station nobody sees may still have a console, which
// nobody can type into.
void WaitForKey() {
  RawConsoleInput console;
  if (console.available() && WindowStationVisible()) console.ReadOneKey();
}

void WriteErrorLine(const std::string& text) { WriteErrorText(text + "\r\n"); }

bool ErrorIsInteractive() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

// A console takes UTF-16, so any letter shows; a file or pipe gets UTF-8.
void WriteErrorText(const std::string& text) {
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(error, &mode)) {
    const std::wstring wide = WideString(text);
    WriteConsoleW(error, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  } else {
    WriteFile(error, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
}

}  // namespace platform
