#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/stop.h"
#include "platform/watch_thread.h"

namespace platform {

struct WatchThread::State {
  Check check;
  int end[2] = {-1, -1};  // a pipe, written to end the thread
  std::thread thread;

  void Run() const {
    const std::optional<NativeEvent> stop = StopEvent();
    bool stop_seen = false;
    for (;;) {
      const long long wait = check().count();
      pollfd waiting[2] = {{end[0], POLLIN, 0}, {stop.value_or(-1), POLLIN, 0}};
      const nfds_t count = stop && !stop_seen ? 2 : 1;
      const int ready = poll(waiting, count,
                             wait <= 0         ? 0
                             : wait >= INT_MAX ? INT_MAX
                                               : static_cast<int>(wait));
      if (ready < 0 && errno != EINTR) return;
      if (waiting[0].revents != 0) return;
      // Set for good once set, so it wakes the thread once.
      if (count == 2 && waiting[1].revents != 0) stop_seen = true;
    }
  }
};

WatchThread::WatchThread(Check check) : state_(std::make_unique<State>()) {
  state_->check = std::move(check);
  if (pipe2(state_->end, O_CLOEXEC) != 0) return;
  // The new thread starts with the signals blocked, so a stop reaches the copy's.
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);
  try {
    state_->thread = std::thread([state = state_.get()] { state->Run(); });
  } catch (const std::system_error&) {
    // Nothing watches then.
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

WatchThread::~WatchThread() {
  if (state_->thread.joinable()) {
    const char byte = 0;
    while (write(state_->end[1], &byte, 1) < 0 && errno == EINTR) {
    }
    state_->thread.join();
  }
  for (const int end : state_->end) {
    if (end >= 0) close(end);
  }
}

}  // namespace platform
