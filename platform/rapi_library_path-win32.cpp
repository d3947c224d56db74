#include "platform/dynamic_library.h"
#include "platform/system_library-win32.h"

namespace platform {

DynamicLibrary RemoteApiLibrary() { return SystemLibrary("rapi.dll"); }

}  // namespace platform
