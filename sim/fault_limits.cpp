#include "sim/fault_limits.h"

#include <algorithm>

namespace sim {
namespace {

std::uint32_t Room(std::uint64_t limit, std::uint64_t done, std::uint32_t asked) {
  const std::uint64_t left = limit > done ? limit - done : 0;
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(left, asked));
}

}  // namespace

Allowance AllowRead(const Settings& settings, std::uint64_t delivered, std::uint32_t asked) {
  const auto& limit = settings.fail_read_after;
  if (!limit) return {asked, false};
  // The read that reaches the limit still succeeds; only the next one fails.
  if (delivered >= *limit) return {0, true};
  return {Room(*limit, delivered, asked), false};
}

Allowance AllowWrite(const Settings& settings, std::uint64_t stored, std::uint32_t asked) {
  Allowance allowance{asked, false};
  if (settings.fail_write_after) {
    allowance.count = Room(*settings.fail_write_after, stored, asked);
    allowance.fails = allowance.count < asked;
  }
  if (settings.short_write_after) {
    allowance.count = std::min(allowance.count, Room(*settings.short_write_after, stored, asked));
  }
  return allowance;
}

}  // namespace sim
