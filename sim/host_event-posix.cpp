#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <mutex>
#include <system_error>
#include <utility>

#include "sim/host_event.h"

namespace sim {
namespace {

using Clock = std::chrono::steady_clock;

// poll's timeout is an int; longer waits go in pieces.
constexpr std::uint64_t kLongestPoll = INT_MAX;

// Whether the descriptor turned readable within the timeout (-1: none); false
// early when a signal cut the wait short.
bool Readable(int descriptor, int timeout) {
  pollfd watched{descriptor, POLLIN, 0};
  return ::poll(&watched, 1, timeout) > 0;
}

}  // namespace

HostEvent HostEvent::Create() {
  int ends[2];
  HostEvent event;
  if (::pipe2(ends, O_CLOEXEC) != 0) return event;
  event.waitable_ = ends[0];
  event.setter_ = ends[1];
  return event;
}

HostEvent::~HostEvent() { Close(); }

HostEvent::HostEvent(HostEvent&& other) noexcept
    : setter_(std::exchange(other.setter_, kClosed)),
      waitable_(std::exchange(other.waitable_, kClosed)) {}

HostEvent& HostEvent::operator=(HostEvent&& other) noexcept {
  if (this != &other) {
    Close();
    setter_ = std::exchange(other.setter_, kClosed);
    waitable_ = std::exchange(other.waitable_, kClosed);
  }
  return *this;
}

bool HostEvent::IsOpen() const { return waitable_ >= 0; }

// The byte is never read, so the pipe stays readable: the event stays set.
void HostEvent::Set() {
  const char byte = 1;
  while (::write(setter_, &byte, 1) < 0 && errno == EINTR) {
  }
}

bool HostEvent::Wait(std::optional<std::uint64_t> milliseconds) const {
  if (!milliseconds) {
    while (!Readable(waitable_, -1)) {
    }
    return true;
  }
  const Clock::time_point start = Clock::now();
  std::uint64_t waited = 0;
  while (true) {
    const std::uint64_t piece = std::min(*milliseconds - waited, kLongestPoll);
    if (Readable(waitable_, static_cast<int>(piece))) return true;
    waited = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    if (waited >= *milliseconds) return false;
  }
}

void HostEvent::Close() {
  if (setter_ >= 0) ::close(std::exchange(setter_, kClosed));
  if (waitable_ >= 0) ::close(std::exchange(waitable_, kClosed));
}

struct HostLock::State {
  std::mutex mutex;
};

HostLock::HostLock() : state_(std::make_unique<State>()) {}
HostLock::~HostLock() = default;
void HostLock::Acquire() { state_->mutex.lock(); }
void HostLock::Release() { state_->mutex.unlock(); }

HostThread HostThread::Start(std::function<void()> body) {
  HostThread thread;
  try {
    thread.thread_ = std::thread(std::move(body));
  } catch (const std::system_error&) {
    // Left not running, as the caller is told.
  }
  return thread;
}

HostThread::HostThread(HostThread&& other) noexcept : thread_(std::move(other.thread_)) {}

HostThread& HostThread::operator=(HostThread&& other) noexcept {
  if (this != &other) {
    Join();
    thread_ = std::move(other.thread_);
  }
  return *this;
}

bool HostThread::IsRunning() const { return thread_.joinable(); }

void HostThread::Join() {
  if (thread_.joinable()) thread_.join();
}

void HostPause(std::uint64_t milliseconds) {
  // sleep_for carries on after signals; the bound keeps the count in range.
  using Milliseconds = std::chrono::milliseconds;
  constexpr auto kLongest = static_cast<std::uint64_t>(Milliseconds::max().count());
  std::this_thread::sleep_for(
      Milliseconds(static_cast<Milliseconds::rep>(std::min(milliseconds, kLongest))));
}

}  // namespace sim
