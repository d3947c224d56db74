#include "device/remote_api/call_in_progress.h"

#include "platform/monotonic_clock.h"
#include "platform/stop.h"

void CallInProgress::Begin(const char* entry) {
  entry_.store(entry, std::memory_order_relaxed);
  since_ms_.store(platform::MonotonicClock::now().time_since_epoch().count(),
                  std::memory_order_release);
}

void CallInProgress::End() {
  if (since_ms_.exchange(kIdle, std::memory_order_acq_rel) == kTakenOver) platform::ParkForGood();
}

std::optional<CallInProgress::Call> CallInProgress::Current() const {
  const std::int64_t since = since_ms_.load(std::memory_order_acquire);
  if (since == kIdle || since == kTakenOver) return std::nullopt;
  return Call{entry_.load(std::memory_order_relaxed), since};
}

bool CallInProgress::TakeOver(const Call& call) {
  std::int64_t since = call.since_ms;
  return since_ms_.compare_exchange_strong(since, kTakenOver, std::memory_order_acq_rel);
}
