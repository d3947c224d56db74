#pragma once

#include <string>

namespace platform {

// Waits for one key pressed at the console or terminal itself, whatever
// standard input is; Ctrl+C counts as a key. Returns at once without one.
void WaitForKey();

// Writes one line (UTF-8) to standard error.
void WriteErrorLine(const std::string& text);

// Whether standard error is a console or terminal someone watches, rather
// than a file, a pipe or nothing.
bool ErrorIsInteractive();
// Writes text (UTF-8) to standard error as it is, with no line end.
void WriteErrorText(const std::string& text);

}  // namespace platform
