#pragma once

#include <chrono>
#include <optional>

// The bounds a copy keeps to, from the environment, in whole seconds from 1
// to 86400; any other value throws CopyFailure naming it.

// How long a copy waits for a device to connect, from FILECOPY_CONNECT_TIMEOUT;
// nothing when unset: as long as the library waits.
std::optional<std::chrono::seconds> ConnectTimeout();

// How long any one remote call may take once connected before the link counts
// as dead, from FILECOPY_CALL_TIMEOUT; a minute when unset.
std::chrono::seconds CallTimeout();
