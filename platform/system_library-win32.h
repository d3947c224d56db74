#pragma once

#include <string>

#include "platform/dynamic_library.h"

namespace platform {

// A DLL from the Windows system directory by its full path, never through the
// search path. Without the system directory nothing is loaded: "\name" alone
// would name a file in the current drive's root.
DynamicLibrary SystemLibrary(const std::string& file_name);

}  // namespace platform
