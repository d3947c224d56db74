#include "platform/window_station-win32.h"

#include <windows.h>

namespace platform {

// Where the system cannot say, it is taken to be visible, as it always was.
bool WindowStationVisible() {
  using StationEntry = HWINSTA(WINAPI*)();
  using InformationEntry = BOOL(WINAPI*)(HANDLE, int, PVOID, DWORD, LPDWORD);
  // A known DLL: the system's own copy is the only one ever loaded.
  HMODULE user32 = LoadLibraryW(L"user32.dll");
  if (user32 == nullptr) return true;
  const auto station = reinterpret_cast<StationEntry>(
      reinterpret_cast<void*>(GetProcAddress(user32, "GetProcessWindowStation")));
  const auto information = reinterpret_cast<InformationEntry>(
      reinterpret_cast<void*>(GetProcAddress(user32, "GetUserObjectInformationW")));
  bool visible = true;
  USEROBJECTFLAGS flags{};
  DWORD size = 0;
  HWINSTA current = station != nullptr ? station() : nullptr;
  if (current != nullptr && information != nullptr &&
      information(current, UOI_FLAGS, &flags, sizeof flags, &size)) {
    visible = (flags.dwFlags & WSF_VISIBLE) != 0;
  }
  FreeLibrary(user32);
  return visible;
}

}  // namespace platform
