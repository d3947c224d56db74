#include "device/transfer/status_line.h"

#include "platform/console.h"

StatusLine::StatusLine() : interactive_(platform::ErrorIsInteractive()) {}

StatusLine::~StatusLine() {
  if (width_ > 0) platform::WriteErrorText("\r" + std::string(width_, ' ') + "\r");
}

void StatusLine::Show(const std::string& text) {
  if (!interactive_) return;
  // Blanks cover what is left of a longer text before it.
  const std::size_t cover = width_ > text.size() ? width_ - text.size() : 0;
  platform::WriteErrorText("\r" + text + std::string(cover, ' '));
  if (text.size() > width_) width_ = text.size();
}
