#include "platform/dynamic_library.h"

namespace platform {

// The paths are fixed when the program is built, in the order tried.
DynamicLibrary RemoteApiLibrary() {
  return DynamicLibrary(std::vector<std::string>{FILECOPY_RAPI_LIBRARIES});
}

}  // namespace platform
