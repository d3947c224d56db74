#pragma once

#include <termios.h>

namespace platform {

// The controlling terminal (/dev/tty), switched to reading single keys without
// echo and without signals from the keyboard. The previous mode comes back when
// the object goes, or when the process is ended by a signal meanwhile.
class RawTerminal {
 public:
  // Whether keys typed before the terminal became raw still count.
  enum class TypedAhead { kKeep, kDiscard };

  explicit RawTerminal(TypedAhead typed_ahead);
  ~RawTerminal();
  RawTerminal(const RawTerminal&) = delete;
  RawTerminal& operator=(const RawTerminal&) = delete;

  // False when the process has no terminal, or is not in its foreground;
  // then nothing else may be called.
  bool available() const { return raw_; }
  // One byte typed at the terminal, or -1 when it can no longer be read.
  int ReadByte();
  // Whether another byte arrives within the given time.
  bool MoreWithin(int milliseconds);
  // Drops what was typed but not yet read, such as the rest of an escape sequence.
  void DiscardPending();
  void Write(const char* text, unsigned long size);

 private:
  int fd_ = -1;
  bool raw_ = false;
  termios saved_{};
};

}  // namespace platform
