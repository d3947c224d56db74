#pragma once

#include <string>

namespace platform {

// A modal message with a single OK button that Enter and Esc both close.
// Where no window can be shown, the message goes to standard error instead.
void ShowMessageWindow(const std::u16string& caption, const std::u16string& text);

// The full path of the running program's file.
std::u16string ProgramFilePath();

}  // namespace platform
