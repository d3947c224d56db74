#include <unistd.h>

#include <cstdio>

#include "platform/console.h"
#include "platform/terminal-posix.h"

namespace platform {

void WaitForKey() {
  RawTerminal terminal(RawTerminal::TypedAhead::kKeep);
  if (!terminal.available()) return;
  if (terminal.ReadByte() >= 0) terminal.DiscardPending();
}

void WriteErrorLine(const std::string& text) { WriteErrorText(text + "\n"); }

bool ErrorIsInteractive() { return isatty(STDERR_FILENO) == 1; }

void WriteErrorText(const std::string& text) {
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace platform
