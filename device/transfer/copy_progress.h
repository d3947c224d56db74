#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "device/transfer/status_line.h"
#include "platform/monotonic_clock.h"

// The progress of a copy that has run for more than a second, on its status
// line, at most four times a second: the bytes copied and, where the size is
// known, of how many. The size is asked for once, when the line is first shown.
class CopyProgress {
 public:
  using SizeQuery = std::function<std::optional<std::uint64_t>()>;

  explicit CopyProgress(SizeQuery size);
  void Advance(std::size_t bytes);
  std::uint64_t copied() const { return copied_; }

 private:
  using Clock = platform::MonotonicClock;

  StatusLine line_;
  SizeQuery size_query_;
  std::optional<std::uint64_t> size_;
  bool size_asked_ = false;
  std::uint64_t copied_ = 0;
  Clock::time_point next_update_;
};

// "Copied 1,048,576 of 4,194,304 bytes (25%)"; without a size (or once the
// file turned out larger than it said), the bytes only.
std::string ProgressText(std::uint64_t copied, std::optional<std::uint64_t> size);
