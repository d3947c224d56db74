#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "device/remote_api/call_in_progress.h"
#include "device/transfer/copy_outcome.h"
#include "device/transfer/new_content.h"
#include "platform/monotonic_clock.h"
#include "platform/watch_thread.h"

// Watches the remote calls of a connection made, from a thread of its own.
// A call that has not returned within the bound means the link is dead; one
// still running a second after a stop keeps the stop from being acted on,
// unless it replaces the device's target: its delete and move are never
// separated by a stop. Either way the copy's thread is left where it is stuck
// and the watch hands the outcome to the transfers' owner to end the process
// (EndAbruptly), with the local temporary file removed: a hang once its line,
// which says where the new content is, and the message window are shown; a
// stop with the line that says whether the content was in place. The device
// cannot be tidied then.
class CallWatchdog {
 public:
  CallWatchdog(CallInProgress& calls, const NewContent& content, std::chrono::seconds bound);

 private:
  using Clock = platform::MonotonicClock;

  // What to do now, on the watch's thread; returns how long to wait before
  // looking again.
  std::chrono::milliseconds Check();
  // Tidies the local side, says what happened and hands the outcome on.
  [[noreturn]] static void EndStuck(CopyOutcome outcome, const std::string& what);

  // What a call that hangs while the target is replaced leaves on the device.
  std::string HangLine(const char* entry) const;

  CallInProgress& calls_;
  const NewContent& content_;
  std::chrono::milliseconds bound_;
  std::optional<Clock::time_point> stopped_at_;
  // Last: started once the rest is there, and joined before it goes.
  platform::WatchThread thread_;
};
