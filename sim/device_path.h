#pragma once

#include <optional>
#include <string_view>

#include "sim/host_file.h"

namespace sim {

// The host path standing for an absolute device path such as \Tarvel\x, below
// root. Nothing for a path the device would refuse, so no name can reach
// outside root.
std::optional<HostPath> MapDevicePath(const HostPath& root, std::u16string_view device_path);

}  // namespace sim
