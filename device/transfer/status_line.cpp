#include "device/transfer/status_line.h"

#include <atomic>

#include "platform/console.h"

namespace {

// The width of the line shown now, if any: one at a time is.
std::atomic<std::size_t> g_shown_width{0};

void Clear(std::size_t width) {
  if (width > 0) platform::WriteErrorText("\r" + std::string(width, ' ') + "\r");
}

}  // namespace

StatusLine::StatusLine() : interactive_(platform::ErrorIsInteractive()) {}

StatusLine::~StatusLine() {
  Clear(width_);
  if (width_ > 0) g_shown_width = 0;
}

void StatusLine::ClearShown() { Clear(g_shown_width.exchange(0)); }

void StatusLine::Show(const std::string& text) {
  if (!interactive_) return;
  // Blanks cover what is left of a longer text before it.
  const std::size_t cover = width_ > text.size() ? width_ - text.size() : 0;
  platform::WriteErrorText("\r" + text + std::string(cover, ' '));
  if (text.size() > width_) width_ = text.size();
  g_shown_width = width_;
}
