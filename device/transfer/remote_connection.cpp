#include "device/transfer/remote_connection.h"

#include <string>

#include "device/transfer/copy_failure.h"
#include "device/transfer/no_device_advice.h"
#include "device/transfer/remote_failure.h"
#include "device/transfer/status_line.h"
#include "platform/monotonic_clock.h"

namespace {

using std::chrono::milliseconds;
using Clock = platform::MonotonicClock;

constexpr milliseconds kQuietWait{1000};

// failure: the library's result, where it gave one.
[[noreturn]] void ThrowNotConnected(const std::string& why,
                                    std::optional<RapiResult> failure = std::nullopt) {
  throw ConnectionFailure(Say(Text::kCannotConnect, {why}), NoDeviceAdviceHere(failure));
}

}  // namespace

void RemoteConnection::Open() {
  if (api_.CeRapiInitEx) {
    OpenWaitingForEvent();
  } else {
    OpenBlocking();
  }
  watchdog_.emplace(api_.calls(), content_, call_bound_);
}

// Once CeRapiInitEx has returned, whatever happens, CeRapiUninit must follow.
void RemoteConnection::OpenWaitingForEvent() {
  RapiInit init{sizeof(RapiInit), RapiHandle{}, 0};
  const RapiResult started = api_.CeRapiInitEx(&init);
  open_ = true;
  if (!RapiSucceeded(started)) {
    ThrowNotConnected(Say(Text::kInitExReturned, {ResultText(started)}), started);
  }
  switch (WaitForDevice(static_cast<platform::NativeEvent>(init.event))) {
    case platform::EventWait::kSet: break;
    case platform::EventWait::kStopped: throw platform::Stopped();
    case platform::EventWait::kTimedOut:
      ThrowNotConnected(Say(Text::kNoDeviceWithin, {std::to_string(bound_.value().count())}));
    case platform::EventWait::kFailed: ThrowNotConnected(Say(Text::kEventCannotBeAwaited));
  }
  if (!RapiSucceeded(init.result)) {
    ThrowNotConnected(Say(Text::kConnectionFailedWith, {ResultText(init.result)}), init.result);
  }
}

// Quietly at first: only a wait that lasts gets a line saying what for.
platform::EventWait RemoteConnection::WaitForDevice(platform::NativeEvent event) const {
  const std::optional<Clock::time_point> deadline =
      bound_ ? std::optional<Clock::time_point>(Clock::now() + *bound_) : std::nullopt;
  const auto left = [&]() -> std::optional<milliseconds> {
    if (!deadline) return std::nullopt;
    return std::chrono::duration_cast<milliseconds>(*deadline - Clock::now());
  };
  const milliseconds quiet = deadline && *left() < kQuietWait ? *left() : kQuietWait;
  const platform::EventWait waited = platform::WaitForEvent(event, quiet);
  if (waited != platform::EventWait::kTimedOut || (deadline && left()->count() <= 0)) {
    return waited;
  }
  StatusLine line;
  line.Show(Say(Text::kWaitingForDevice));
  return platform::WaitForEvent(event, left());
}

void RemoteConnection::OpenBlocking() {
  RapiResult result = 0;
  {
    const platform::BlockingCall call(&RemoteConnection::Interrupt, this);
    result = api_.CeRapiInit();
  }
  open_ = RapiSucceeded(result);
  platform::ThrowIfStopRequested();
  if (!open_) ThrowNotConnected(Say(Text::kInitReturned, {ResultText(result)}), result);
}

// Runs on the thread the system delivers the stop on.
void RemoteConnection::Interrupt(void* connection) {
  const TRAPI& api = static_cast<RemoteConnection*>(connection)->api_;
  if (api.CeRapiUninit) api.CeRapiUninit();
}
