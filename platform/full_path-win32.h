#pragma once

#include <string>

namespace platform {

// The full path of a local file in the \\?\ form (\\?\UNC\server\share\...
// for a share), which the wide functions take past MAX_PATH on every Windows
// from XP on; a path already in that form, or naming a device (\\.\), stays.
std::wstring ExtendedPath(const std::string& path);

// The same full path in the everyday form, for calls that do not take the
// other; a volume's path (\\?\Volume{...}\), which has none, stays.
std::wstring EverydayPath(const std::string& path);

}  // namespace platform
