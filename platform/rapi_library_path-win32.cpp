#include <windows.h>

#include "platform/dynamic_library.h"

namespace platform {

DynamicLibrary RemoteApiLibrary() {
  char directory[MAX_PATH + 1] = {};
  const UINT length = GetSystemDirectoryA(directory, sizeof directory);
  // Without the system directory, "\rapi.dll" alone would name a file in the
  // current drive's root; better to load nothing.
  if (length == 0 || length >= sizeof directory) return DynamicLibrary("rapi.dll");
  return DynamicLibrary(std::string(directory, length) + "\\rapi.dll");
}

}  // namespace platform
