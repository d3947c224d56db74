#include "sim/fault_limits.h"

#include <algorithm>

namespace sim {
namespace {

std::uint32_t Room(std::uint64_t limit, std::uint64_t done, std::uint32_t asked) {
  const std::uint64_t left = limit > done ? limit - done : 0;
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(left, asked));
}

}  // namespace

Allowance ReadWithin(std::optional<std::uint64_t> limit, std::uint64_t done, std::uint32_t asked) {
  if (!limit) return {asked, false};
  // The read that reaches the limit still succeeds; only the next one fails.
  if (done >= *limit) return {0, true};
  return {Room(*limit, done, asked), false};
}

Allowance WriteWithin(std::optional<std::uint64_t> limit, std::uint64_t done, std::uint32_t asked) {
  if (!limit) return {asked, false};
  const std::uint32_t count = Room(*limit, done, asked);
  return {count, count < asked};
}

Allowance AllowRead(const Settings& settings, std::uint64_t delivered, std::uint32_t asked) {
  return ReadWithin(settings.fail_read_after, delivered, asked);
}

Allowance AllowWrite(const Settings& settings, std::uint64_t stored, std::uint32_t asked) {
  Allowance allowance = WriteWithin(settings.fail_write_after, stored, asked);
  if (settings.short_write_after) {
    allowance.count = std::min(allowance.count, Room(*settings.short_write_after, stored, asked));
  }
  return allowance;
}

}  // namespace sim
