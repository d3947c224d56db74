#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <restartmanager.h>

#include <string>
#include <vector>

#include "platform/file_holders.h"

namespace platform {

// The Restart Manager's calls (rstrtmgr.dll, Vista and later).
struct RestartManagerEntries {
  decltype(&RmStartSession) start_session = nullptr;
  decltype(&RmEndSession) end_session = nullptr;
  decltype(&RmRegisterResources) register_resources = nullptr;
  decltype(&RmGetList) get_list = nullptr;
};

// The programs that hold file (its full path), as a session of these calls
// lists them: each by its name for people and its program file's name.
std::vector<FileHolder> HoldersListed(const RestartManagerEntries& entries,
                                      const std::wstring& file);

}  // namespace platform
