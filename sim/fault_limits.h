#pragma once

#include <cstdint>

#include "sim/settings.h"

namespace sim {

// How much of one read or write the fault settings let through.
struct Allowance {
  std::uint32_t count = 0;
  bool fails = false;
};

// delivered and stored count the bytes moved since the connection started.
Allowance AllowRead(const Settings& settings, std::uint64_t delivered, std::uint32_t asked);
Allowance AllowWrite(const Settings& settings, std::uint64_t stored, std::uint32_t asked);

}  // namespace sim
