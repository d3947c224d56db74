#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <utility>

#include "platform/stop.h"

namespace platform {
namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr std::size_t kStopSignalCount = sizeof kStopSignals / sizeof kStopSignals[0];

// Shared with the signal handler, which may touch nothing else.
volatile std::sig_atomic_t g_signal = 0;     // the first stop signal, 0 for none
volatile std::sig_atomic_t g_blocking = 0;   // inside a BlockingCall
volatile std::sig_atomic_t g_removable = 0;  // g_removal holds a path
char g_removal[PATH_MAX + 1];
// Set before the handler is, and left alone while it is.
std::string g_stopped_line;
// Written by the handler so a waiting poll wakes up.
int g_wake[2] = {-1, -1};
struct sigaction g_previous[kStopSignalCount] {};

void WriteAll(int descriptor, const char* text, std::size_t size) {
  while (size > 0) {
    const ssize_t count = write(descriptor, text, size);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return;
    text += count;
    size -= static_cast<std::size_t>(count);
  }
}

// SIGQUIT's default action would also leave a core file: the program is
// ending as asked, not failing.
[[noreturn]] void RaiseAgain(int signal_number) {
  const rlimit no_core{0, 0};
  setrlimit(RLIMIT_CORE, &no_core);
  signal(signal_number, SIG_DFL);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal_number);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
  raise(signal_number);
  // cppcheck-suppress unreachableCode ; raise returns when the signal is ignored
  _exit(128 + signal_number);
}

extern "C" void OnStopSignal(int signal_number) {
  const int saved = errno;
  if (g_signal == 0) g_signal = signal_number;
  if (g_blocking) {
    if (g_removable) unlink(g_removal);
    WriteAll(STDERR_FILENO, g_stopped_line.data(), g_stopped_line.size());
    RaiseAgain(signal_number);
  }
  const char byte = 0;
  if (g_wake[1] >= 0) WriteAll(g_wake[1], &byte, 1);
  errno = saved;
}

int MillisecondsLeft(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  if (left.count() <= 0) return 0;
  return left.count() > INT_MAX ? INT_MAX : static_cast<int>(left.count());
}

}  // namespace

// A signal ignored on arrival (nohup, a background job) stays ignored. Calls
// it interrupts are not restarted, so one that blocks (the open or read of a
// FIFO whose writer stalls) ends with the stop; whatever fails because of it
// gives way to the stop.
StopHandling::StopHandling(std::string stopped_line) {
  g_signal = 0;
  g_stopped_line = std::move(stopped_line) + "\n";
  if (pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0) g_wake[0] = g_wake[1] = -1;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  action.sa_flags = 0;
  sigemptyset(&action.sa_mask);
  for (const int number : kStopSignals) sigaddset(&action.sa_mask, number);
  for (std::size_t i = 0; i < kStopSignalCount; ++i) {
    sigaction(kStopSignals[i], nullptr, &g_previous[i]);
    if (g_previous[i].sa_handler != SIG_IGN) sigaction(kStopSignals[i], &action, nullptr);
  }
}

StopHandling::~StopHandling() {
  for (std::size_t i = 0; i < kStopSignalCount; ++i) {
    sigaction(kStopSignals[i], &g_previous[i], nullptr);
  }
  for (int& end : g_wake) {
    if (end >= 0) close(end);
    end = -1;
  }
}

int StoppedExitStatus() {
  if (g_signal != 0) RaiseAgain(g_signal);
  return 1;
}

bool StopRequested() { return g_signal != 0; }

void ThrowIfStopRequested() {
  if (g_signal != 0) throw Stopped();
}

bool StopRequestedWithin(std::chrono::milliseconds period) {
  const auto deadline = std::chrono::steady_clock::now() + period;
  while (!StopRequested()) {
    const int left = MillisecondsLeft(deadline);
    if (left == 0) return false;
    pollfd waking{g_wake[0], POLLIN, 0};
    poll(&waking, g_wake[0] >= 0 ? 1 : 0, left);
  }
  return true;
}

EventWait WaitForEvent(NativeEvent event, std::optional<std::chrono::milliseconds> limit) {
  const auto deadline =
      std::chrono::steady_clock::now() + limit.value_or(std::chrono::milliseconds::zero());
  if (event < 0) return EventWait::kFailed;
  for (;;) {
    if (StopRequested()) return EventWait::kStopped;
    pollfd waiting[2] = {{event, POLLIN, 0}, {g_wake[0], POLLIN, 0}};
    const int ready =
        poll(waiting, g_wake[0] >= 0 ? 2 : 1, limit ? MillisecondsLeft(deadline) : -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || (waiting[0].revents & POLLNVAL) != 0) return EventWait::kFailed;
    if (StopRequested()) return EventWait::kStopped;
    if (waiting[0].revents != 0) return EventWait::kSet;
    if (ready == 0) return EventWait::kTimedOut;
  }
}

BlockingCall::BlockingCall(void (* /*interrupt*/)(void*), void* /*context*/) {
  g_blocking = 1;
  // A stop that came before is handled the usual way; one that comes later, in the handler.
  if (g_signal != 0) {
    g_blocking = 0;
    throw Stopped();
  }
}

BlockingCall::~BlockingCall() { g_blocking = 0; }

std::optional<NativeEvent> StopEvent() {
  if (g_wake[0] < 0) return std::nullopt;
  return g_wake[0];
}

// A descriptor stays open: unlink removes the name all the same.
void RemoveOnAbruptStop(const std::string& path, NativeFile /*held*/) {
  g_removable = 0;
  if (path.empty() || path.size() >= sizeof g_removal) return;
  std::memcpy(g_removal, path.c_str(), path.size() + 1);
  g_removable = 1;
}

void RemoveTemporaryFileNow() {
  if (g_removable) unlink(g_removal);
}

void EndProcessNow(int status) { _exit(status); }

void ParkForGood() {
  for (;;) pause();
}

}  // namespace platform
