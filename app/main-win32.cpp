#include <windows.h>

#include <string>
#include <vector>

#include "app/entry.h"
#include "platform/wide_string-win32.h"

// The UTF-16 command line, so that any file name is opened as typed.
int wmain(int argc, wchar_t** argv) {
  // A DLL planted in the current folder must never stand in for a system one.
  SetDllDirectoryW(L"");
  std::vector<std::string> arguments;
  arguments.reserve(static_cast<std::size_t>(argc));
  for (int i = 0; i < argc; ++i) arguments.push_back(platform::Utf8String(argv[i]));
  return RunFileCopy(arguments);
}
