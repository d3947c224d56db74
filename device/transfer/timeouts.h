#pragma once

#include <chrono>
#include <optional>

// How long a copy waits for a device to connect, from FILECOPY_CONNECT_TIMEOUT
// (whole seconds, 1 to 86400); nothing when unset: as long as the library
// waits. Any other value throws CopyFailure naming it.
std::optional<std::chrono::seconds> ConnectTimeout();
