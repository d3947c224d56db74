#pragma once

#include <windows.h>

namespace platform {

// advapi32, loaded only by the runs that use it (to look at services, to
// write an event), as user32 is only to show a message: most runs need none
// of them. It is a known DLL, so only the system's copy is loaded.
class Advapi {
 public:
  Advapi() : module_(LoadLibraryW(L"advapi32.dll")) {}
  ~Advapi() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  Advapi(const Advapi&) = delete;
  Advapi& operator=(const Advapi&) = delete;

  // An export, or null when it or the DLL is missing.
  template <typename Entry>
  Entry Find(const char* name) const {
    if (module_ == nullptr) return nullptr;
    return reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }

 private:
  HMODULE module_;
};

}  // namespace platform
