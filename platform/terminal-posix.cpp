#include "platform/terminal-posix.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace platform {
namespace {

// Signals that end the process while the terminal is raw. One terminal is
// raw at a time, so the handler's state can be global.
constexpr int kEndingSignals[] = {SIGHUP, SIGTERM, SIGQUIT, SIGINT};
int g_terminal = -1;
termios g_saved_mode{};
struct sigaction g_previous[sizeof kEndingSignals / sizeof kEndingSignals[0]]{};

// SIGQUIT ends it as asked, without the core file its default action leaves.
extern "C" void RestoreAndReraise(int signal_number) {
  tcsetattr(g_terminal, TCSANOW, &g_saved_mode);
  const rlimit no_core{0, 0};
  setrlimit(RLIMIT_CORE, &no_core);
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

void CatchEndingSignals(int terminal, const termios& saved) {
  g_terminal = terminal;
  g_saved_mode = saved;
  struct sigaction action {};
  action.sa_handler = RestoreAndReraise;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < sizeof kEndingSignals / sizeof kEndingSignals[0]; ++i) {
    sigaction(kEndingSignals[i], &action, &g_previous[i]);
  }
}

void ReleaseEndingSignals() {
  for (std::size_t i = 0; i < sizeof kEndingSignals / sizeof kEndingSignals[0]; ++i) {
    sigaction(kEndingSignals[i], &g_previous[i], nullptr);
  }
  g_terminal = -1;
}

}  // namespace

// A process group that is not the terminal's foreground one (a background
// job) would be stopped by the kernel (SIGTTOU, SIGTTIN) on changing or
// reading it, and would wait for ever: it goes without, as with none. Asking
// whose the terminal is changes nothing.
RawTerminal::RawTerminal(TypedAhead typed_ahead) {
  fd_ = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd_ < 0 || tcgetpgrp(fd_) != getpgrp() || tcgetattr(fd_, &saved_) != 0) return;
  termios raw = saved_;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
  raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  CatchEndingSignals(fd_, saved_);
  if (tcsetattr(fd_, typed_ahead == TypedAhead::kKeep ? TCSANOW : TCSAFLUSH, &raw) != 0) {
    ReleaseEndingSignals();
    return;
  }
  raw_ = true;
}

RawTerminal::~RawTerminal() {
  if (raw_) {
    tcsetattr(fd_, TCSANOW, &saved_);
    ReleaseEndingSignals();
  }
  if (fd_ >= 0) close(fd_);
}

int RawTerminal::ReadByte() {
  unsigned char byte = 0;
  for (;;) {
    const ssize_t count = read(fd_, &byte, 1);
    if (count == 1) return byte;
    if (count == 0 || errno != EINTR) return -1;
  }
}

bool RawTerminal::MoreWithin(int milliseconds) {
  pollfd waiting{fd_, POLLIN, 0};
  return poll(&waiting, 1, milliseconds) > 0;
}

void RawTerminal::DiscardPending() { tcflush(fd_, TCIFLUSH); }

void RawTerminal::Write(const char* text, unsigned long size) {
  while (size > 0) {
    const ssize_t count = write(fd_, text, size);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return;
    text += count;
    size -= static_cast<unsigned long>(count);
  }
}

}  // namespace platform
