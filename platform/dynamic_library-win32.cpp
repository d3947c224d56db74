#include <windows.h>

#include <string>

#include "platform/dynamic_library.h"
#include "platform/system_error.h"
#include "platform/system_library-win32.h"
#include "platform/unicode.h"

namespace platform {
namespace {

std::string AnsiToUtf8(const std::string& text) {
  const int length =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

}  // namespace

// The path is in the ANSI code page, as the system directory was asked for.
DynamicLibrary::DynamicLibrary(const std::string& path) : path_(AnsiToUtf8(path)) {
  // A name without a folder would go through the search path.
  if (path.find('\\') == std::string::npos) {
    failure_ = LoadFailure::kSystemDirectoryUnknown;
    return;
  }
  // The library's own dependencies are then looked for in its folder first,
  // not beside the program, where anyone may have put a DLL of that name.
  handle_ = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (handle_ == nullptr) {
    failure_ = LoadFailure::kRefused;
    reason_ = LastSystemErrorText();
  }
}

DynamicLibrary::~DynamicLibrary() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
}

void* DynamicLibrary::Find(const char* name) const {
  if (handle_ == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

DynamicLibrary SystemLibrary(const std::string& file_name) {
  char directory[MAX_PATH + 1] = {};
  const UINT length = GetSystemDirectoryA(directory, sizeof directory);
  if (length == 0 || length >= sizeof directory) return DynamicLibrary(file_name);
  return DynamicLibrary(std::string(directory, length) + "\\" + file_name);
}

}  // namespace platform
