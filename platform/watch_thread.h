#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace platform {

// A thread of its own that watches the copy's: it runs check at once, then
// again whenever the wait check returned has passed, or a stop is first
// requested, until the object goes. Only the stop and the object's end wake
// it early; the copy's thread never has to. On POSIX it takes no signals, so
// they still interrupt what the copy's thread is doing. Where no thread can
// be started, nothing watches.
class WatchThread {
 public:
  using Check = std::function<std::chrono::milliseconds()>;

  explicit WatchThread(Check check);
  ~WatchThread();
  WatchThread(const WatchThread&) = delete;
  WatchThread& operator=(const WatchThread&) = delete;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace platform
