#include <unistd.h>

#include <climits>
#include <string>

#include "platform/console.h"
#include "platform/message_window.h"
#include "platform/terminal-posix.h"
#include "platform/unicode.h"

namespace platform {
namespace {

constexpr int kEnter = '\r';
constexpr int kLineFeed = '\n';
constexpr int kEscape = 0x1B;
// A lone Esc, unlike the start of an arrow key's sequence, has nothing after it.
constexpr int kEscapeSequenceGapMs = 50;

std::size_t DisplayWidth(const std::string& utf8) {
  std::size_t width = 0;
  for (const char c : utf8) width += (static_cast<unsigned char>(c) & 0xC0U) != 0x80U ? 1 : 0;
  return width;
}

std::string Repeat(char c, std::size_t count) { return std::string(count, c); }

std::string Centered(const std::string& text, std::size_t width) {
  const std::size_t left = (width - DisplayWidth(text)) / 2;
  return Repeat(' ', left) + text + Repeat(' ', width - left - DisplayWidth(text));
}

// The message framed like a window, its caption in the title bar.
std::string Frame(const std::string& caption, const std::string& text) {
  const std::string button = "[ OK ]";
  std::size_t inner = DisplayWidth(text) + 4;
  if (DisplayWidth(caption) + 6 > inner) inner = DisplayWidth(caption) + 6;
  const std::string title = "-- " + caption + " ";
  // clang-format off
  return "\n +" + title + Repeat('-', inner - DisplayWidth(title)) + "+\n" +
         " |" + Repeat(' ', inner) + "|\n" +
         " |" + Centered(text, inner) + "|\n" +
         " |" + Repeat(' ', inner) + "|\n" +
         " |" + Centered(button, inner) + "|\n" +
         " +" + Repeat('-', inner) + "+\n";
  // clang-format on
}

}  // namespace

void ShowMessageWindow(const std::u16string& caption, const std::u16string& text) {
  const std::string caption_utf8 = Utf16ToUtf8(caption);
  const std::string text_utf8 = Utf16ToUtf8(text);
  // Keys typed before the window appeared must not close it unseen.
  RawTerminal terminal(RawTerminal::TypedAhead::kDiscard);
  if (!terminal.available()) {
    WriteErrorLine(caption_utf8 + ": " + text_utf8);
    return;
  }
  const std::string frame = Frame(caption_utf8, text_utf8);
  terminal.Write(frame.data(), frame.size());
  for (;;) {
    const int key = terminal.ReadByte();
    if (key < 0 || key == kEnter || key == kLineFeed) break;
    if (key == kEscape) {
      if (!terminal.MoreWithin(kEscapeSequenceGapMs)) break;
      terminal.DiscardPending();
    }
  }
}

std::u16string ProgramFilePath() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof path) return u"filecopy";
  return Utf8ToUtf16(std::string(path, static_cast<std::size_t>(length)));
}

}  // namespace platform
