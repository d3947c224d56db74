#include "platform/dynamic_library.h"

namespace platform {

std::string RemoteApiLibraryPath() { return FILECOPY_RAPI_LIBRARY; }

}  // namespace platform
