#include "device/remote_api/trapi.h"

void ThrowRemoteEntryMissing(const char* name, const platform::DynamicLibrary& library) {
  const std::string where = "the remote API library \"" + library.path() + "\"";
  if (!library.loaded()) {
    throw RemoteEntryMissing(std::string("cannot call ") + name + ": " + where +
                             " could not be loaded: " + library.failure());
  }
  throw RemoteEntryMissing(std::string("cannot call ") + name + ": " + where +
                           " does not provide it");
}

TRAPI::TRAPI() : library_(platform::RemoteApiLibrary()) { BindEntries(); }

TRAPI::TRAPI(const std::string& library_path) : library_(library_path) { BindEntries(); }

void TRAPI::BindEntries() {
#define FILECOPY_BIND_ENTRY(name, result, parameters) \
  name.Bind(reinterpret_cast<name##Entry>(library_.Find(#name)));
  FILECOPY_REMOTE_ENTRIES(FILECOPY_BIND_ENTRY)
#undef FILECOPY_BIND_ENTRY
}
