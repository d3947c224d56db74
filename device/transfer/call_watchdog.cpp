#include "device/transfer/call_watchdog.h"

#include "device/transfer/copy_failure.h"
#include "device/transfer/copy_outcome.h"
#include "device/transfer/status_line.h"
#include "platform/stop.h"
#include "texts/texts.h"

namespace {

using std::chrono::milliseconds;

// How long a stop waits for the call it came during, and then how often it
// looks at the tidying's calls.
constexpr milliseconds kStopGrace{1000};
constexpr milliseconds kStopLooks{100};

}  // namespace

CallWatchdog::CallWatchdog(CallInProgress& calls, std::chrono::seconds bound)
    : calls_(calls), bound_(bound), thread_([this] { return Check(); }) {}

milliseconds CallWatchdog::Check() {
  const Clock::time_point now = Clock::now();
  if (platform::StopRequested()) {
    if (!stopped_at_) stopped_at_ = now;
    if (now < *stopped_at_ + kStopGrace) return *stopped_at_ + kStopGrace - now;
    const std::optional<CallInProgress::Call> call = calls_.Current();
    if (call && calls_.TakeOver(*call)) {
      EndStuck(CopyOutcome::kStopped, Say(Text::kStoppedBeforeComplete));
    }
    return kStopLooks;
  }
  const std::optional<CallInProgress::Call> call = calls_.Current();
  if (!call) return bound_;
  const Clock::time_point deadline = Clock::time_point(milliseconds(call->since_ms)) + bound_;
  if (now < deadline) return deadline - now;
  if (calls_.TakeOver(*call)) {
    EndStuck(CopyOutcome::kNoDevice, Say(Text::kStoppedAnswering, {call->entry}));
  }
  // It returned just now.
  return milliseconds::zero();
}

// A stop is said in a line of its own, as the copy says it; anything else is
// a failure, with its window.
void CallWatchdog::EndStuck(CopyOutcome outcome, const std::string& what) {
  StatusLine::ClearShown();
  platform::RemoveTemporaryFileNow();
  if (outcome == CopyOutcome::kStopped) {
    ReportStop(what);
  } else {
    ReportFailure(outcome, what);
  }
  EndAbruptly(outcome);
}
