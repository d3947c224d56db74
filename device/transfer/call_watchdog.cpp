#include "device/transfer/call_watchdog.h"

#include <algorithm>

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

CallWatchdog::CallWatchdog(CallInProgress& calls, const NewContent& content,
                           std::chrono::seconds bound)
    : calls_(calls), content_(content), bound_(bound), thread_([this] { return Check(); }) {}

// While the target is replaced only the bound may end the process; a stop
// waits for the replacement, looking again often so the call after it is
// not waited for.
milliseconds CallWatchdog::Check() {
  const Clock::time_point now = Clock::now();
  std::optional<milliseconds> look_again;
  if (platform::StopRequested()) {
    if (!stopped_at_) stopped_at_ = now;
    if (now < *stopped_at_ + kStopGrace) return *stopped_at_ + kStopGrace - now;
    look_again = kStopLooks;
    const NewContent::Place place = content_.place();
    if (place == NewContent::Place::kNotYet || place == NewContent::Place::kInPlace) {
      const std::optional<CallInProgress::Call> call = calls_.Current();
      if (call && calls_.TakeOver(*call)) {
        EndStuck(CopyOutcome::kStopped,
                 Say(place == NewContent::Place::kInPlace ? Text::kStoppedAfterComplete
                                                          : Text::kStoppedBeforeComplete));
      }
      return *look_again;
    }
  }
  const std::optional<CallInProgress::Call> call = calls_.Current();
  if (!call) return look_again.value_or(bound_);
  const Clock::time_point deadline = Clock::time_point(milliseconds(call->since_ms)) + bound_;
  if (now < deadline) {
    const milliseconds left = std::chrono::duration_cast<milliseconds>(deadline - now);
    return look_again ? std::min(left, *look_again) : left;
  }
  if (calls_.TakeOver(*call)) EndStuck(CopyOutcome::kNoDevice, HangLine(call->entry));
  // It returned just now.
  return milliseconds::zero();
}

std::string CallWatchdog::HangLine(const char* entry) const {
  switch (content_.place()) {
    case NewContent::Place::kOldGoing:
      return Say(Text::kStoppedAnsweringStaged, {entry, content_.staged()});
    case NewContent::Place::kBeingMoved:
      return Say(Text::kStoppedAnsweringMoving, {entry, content_.staged(), content_.target()});
    case NewContent::Place::kNotYet:
    case NewContent::Place::kInPlace: break;
  }
  return Say(Text::kStoppedAnswering, {entry});
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
