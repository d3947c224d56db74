#pragma once

#include <cstdint>
#include <optional>

#include "sim/settings.h"

namespace sim {

// How much of one read or write the fault settings let through.
struct Allowance {
  std::uint32_t count = 0;
  bool fails = false;
};

// Against a limit of bytes moved (done so far): a read gets what is left
// below it and fails only once the limit has been reached; a write stores
// what is left and fails if that is less than it was given.
Allowance ReadWithin(std::optional<std::uint64_t> limit, std::uint64_t done, std::uint32_t asked);
Allowance WriteWithin(std::optional<std::uint64_t> limit, std::uint64_t done, std::uint32_t asked);

// delivered and stored count the bytes moved since the connection started.
Allowance AllowRead(const Settings& settings, std::uint64_t delivered, std::uint32_t asked);
Allowance AllowWrite(const Settings& settings, std::uint64_t stored, std::uint32_t asked);

}  // namespace sim
