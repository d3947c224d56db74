#pragma once

#include <string>

namespace platform {

// The temporary file a stop must remove when it has to end the process at
// once, from its signal handler; empty for none.
void RemoveOnAbruptStop(const std::string& path);

}  // namespace platform
