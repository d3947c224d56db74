#include "device/remote_api/trapi.h"

#include "platform/device_services.h"
#include "texts/texts.h"

namespace {

// The software to install for the library, on this system.
std::string Provider() {
  switch (platform::RemoteApiProviderHere()) {
    case platform::RemoteApiProvider::kActiveSync: return "ActiveSync";
    case platform::RemoteApiProvider::kDeviceCenter: return Say(Text::kDeviceCenter);
    case platform::RemoteApiProvider::kLinuxRapiLibrary: break;
  }
  return Say(Text::kLinuxRapiLibrary);
}

// Why, and where the library not found or refused comes from.
std::string WithProvider(const std::string& why) {
  return Say(Text::kLibraryComesWith, {WithoutFullStop(why), Provider()});
}

std::string WhyNotLoaded(const platform::DynamicLibrary& library) {
  switch (library.failure()) {
    case platform::LoadFailure::kNotAbsolute: return Say(Text::kLibraryPathNotAbsolute);
    case platform::LoadFailure::kNoSuchFile: {
      std::string why = Say(Text::kLibraryFileMissing);
      for (const std::string& other : library.also_tried()) {
        why += Say(Text::kLibraryFileMissingEither, {other});
      }
      return WithProvider(why);
    }
    case platform::LoadFailure::kSystemDirectoryUnknown: return Say(Text::kSystemDirectoryUnknown);
    case platform::LoadFailure::kRefused: return WithProvider(library.reason());
    case platform::LoadFailure::kNone: break;
  }
  return library.reason();
}

}  // namespace

void ThrowRemoteEntryMissing(const char* name, const platform::DynamicLibrary& library) {
  if (!library.loaded()) {
    throw RemoteEntryMissing(
        Say(Text::kLibraryNotLoaded, {name, library.path(), WhyNotLoaded(library)}));
  }
  throw RemoteEntryMissing(Say(Text::kLibraryLacksEntry, {name, library.path()}));
}

TRAPI::TRAPI() : library_(platform::RemoteApiLibrary()) { BindEntries(); }

TRAPI::TRAPI(const std::string& library_path) : library_(library_path) { BindEntries(); }

void TRAPI::BindEntries() {
#define FILECOPY_BIND_ENTRY(name, result, parameters) name.Bind(library_.Find<name##Entry>(#name));
  FILECOPY_REMOTE_ENTRIES(FILECOPY_BIND_ENTRY)
#undef FILECOPY_BIND_ENTRY
}
