#pragma once

namespace platform {

// An open file as the system knows it.
#ifdef _WIN32
using NativeFile = void*;  // a handle
#else
using NativeFile = int;  // a descriptor
#endif

}  // namespace platform
