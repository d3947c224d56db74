#pragma once

#include <chrono>
#include <optional>

#include "device/remote_api/call_in_progress.h"
#include "platform/monotonic_clock.h"
#include "platform/watch_thread.h"

// Watches the remote calls of a connection made, from a thread of its own.
// A call that has not returned within the bound means the link is dead; one
// still running a second after a stop keeps the stop from being acted on.
// Either way the copy's thread is left where it is stuck and the watch ends
// the process itself, with the local temporary file removed: a hang with its
// line, the message window and exit status 2; a stop as stops end. The device
// cannot be tidied then.
class CallWatchdog {
 public:
  CallWatchdog(CallInProgress& calls, std::chrono::seconds bound);

 private:
  using Clock = platform::MonotonicClock;

  // What to do now, on the watch's thread; returns how long to wait before
  // looking again.
  std::chrono::milliseconds Check();
  [[noreturn]] static void EndHung(const char* entry);

  CallInProgress& calls_;
  std::chrono::milliseconds bound_;
  std::optional<Clock::time_point> stopped_at_;
  // Last: started once the rest is there, and joined before it goes.
  platform::WatchThread thread_;
};
