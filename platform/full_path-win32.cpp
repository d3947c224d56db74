#include "platform/full_path-win32.h"

#include <windows.h>

#include "platform/wide_string-win32.h"

namespace platform {
namespace {

constexpr const wchar_t* kExtended = L"\\\\?\\";
constexpr const wchar_t* kExtendedShare = L"\\\\?\\UNC\\";
constexpr const wchar_t* kDevice = L"\\\\.\\";

bool StartsWith(const std::wstring& text, const wchar_t* start) {
  return text.rfind(start, 0) == 0;
}

// Relative to the current folder (of its drive), "." and ".." resolved.
std::wstring FullPath(const std::wstring& path) {
  if (path.empty() || StartsWith(path, kExtended)) return path;
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return path;
    if (length < full.size()) {
      full.resize(length);
      return full;
    }
    full.resize(length);
  }
}

}  // namespace

std::wstring ExtendedPath(const std::string& path) {
  const std::wstring full = FullPath(WideString(path));
  if (full.empty() || StartsWith(full, kExtended) || StartsWith(full, kDevice)) return full;
  if (StartsWith(full, L"\\\\")) return kExtendedShare + full.substr(2);
  return kExtended + full;
}

std::wstring EverydayPath(const std::string& path) {
  const std::wstring full = FullPath(WideString(path));
  if (StartsWith(full, kExtendedShare)) return L"\\\\" + full.substr(8);
  // A drive's path has an everyday form; a volume's (\\?\Volume{...}\) has none.
  if (StartsWith(full, kExtended) && full.size() > 5 && full[5] == L':') return full.substr(4);
  return full;
}

}  // namespace platform
