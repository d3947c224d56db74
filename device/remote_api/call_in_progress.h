#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <optional>

// The remote call the copy's thread is in, if any, and since when, for a
// thread watching it that may decide it hangs. Recording a call costs a clock
// read and a few atomic operations, never a thread switch.
class CallInProgress {
 public:
  struct Call {
    const char* entry;
    std::int64_t since_ms;  // platform::MonotonicClock's milliseconds
  };

  // From the copy's thread, around each call; End returns once the call is
  // done, or never, once a watching thread has taken the call over.
  void Begin(const char* entry);
  void End();

  // From the watching thread: the call now running, and whether that call is
  // still running and, from now on, never returns to the copy.
  std::optional<Call> Current() const;
  bool TakeOver(const Call& call);

 private:
  static constexpr std::int64_t kIdle = std::numeric_limits<std::int64_t>::min();
  static constexpr std::int64_t kTakenOver = kIdle + 1;

  std::atomic<const char*> entry_{nullptr};
  std::atomic<std::int64_t> since_ms_{kIdle};
};

// Records one call for as long as it exists.
class RecordedCall {
 public:
  RecordedCall(CallInProgress& calls, const char* entry) : calls_(calls) { calls_.Begin(entry); }
  ~RecordedCall() { calls_.End(); }
  RecordedCall(const RecordedCall&) = delete;
  RecordedCall& operator=(const RecordedCall&) = delete;

 private:
  CallInProgress& calls_;
};
