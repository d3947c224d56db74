#include <windows.h>
// After windows.h, which it needs.
#include <restartmanager.h>

#include <vector>

#include "platform/dynamic_library.h"
#include "platform/file_holders.h"
#include "platform/full_path-win32.h"
#include "platform/system_library-win32.h"
#include "platform/wide_string-win32.h"

namespace platform {
namespace {

using StartSessionEntry = decltype(&RmStartSession);
using EndSessionEntry = decltype(&RmEndSession);
using RegisterResourcesEntry = decltype(&RmRegisterResources);
using GetListEntry = decltype(&RmGetList);
using ImageNameEntry = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);

template <typename Entry>
Entry Find(const DynamicLibrary& library, const char* name) {
  return reinterpret_cast<Entry>(library.Find(name));
}

// The program file's name of a process, if it is still the one that was
// listed (its start time tells it from a later one with its number).
std::string ImageName(const RM_UNIQUE_PROCESS& listed) {
  const auto image_name = reinterpret_cast<ImageNameEntry>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "QueryFullProcessImageNameW")));
  if (image_name == nullptr) return "";
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, listed.dwProcessId);
  if (process == nullptr) return "";
  std::string name;
  FILETIME created{};
  FILETIME unused[3]{};
  wchar_t path[MAX_PATH * 4] = {};
  DWORD size = sizeof path / sizeof path[0];
  if (GetProcessTimes(process, &created, &unused[0], &unused[1], &unused[2]) &&
      CompareFileTime(&created, &listed.ProcessStartTime) == 0 &&
      image_name(process, 0, path, &size)) {
    const std::wstring full(path, size);
    name = Utf8String(full.substr(full.find_last_of(L'\\') + 1).c_str());
  }
  CloseHandle(process);
  return name;
}

}  // namespace

std::vector<FileHolder> HoldersOf(const std::string& path) {
  // The Restart Manager came with Vista: loaded at run time, so XP still starts.
  const DynamicLibrary library = SystemLibrary("rstrtmgr.dll");
  const auto start_session = Find<StartSessionEntry>(library, "RmStartSession");
  const auto end_session = Find<EndSessionEntry>(library, "RmEndSession");
  const auto register_resources = Find<RegisterResourcesEntry>(library, "RmRegisterResources");
  const auto get_list = Find<GetListEntry>(library, "RmGetList");
  if (!start_session || !end_session || !register_resources || !get_list) return {};

  DWORD session = 0;
  WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
  if (start_session(&session, 0, key) != ERROR_SUCCESS) return {};
  const std::wstring file = EverydayPath(path);
  LPCWSTR files[] = {file.c_str()};
  std::vector<RM_PROCESS_INFO> listed;
  UINT needed = 0;
  DWORD result = register_resources(session, 1, files, 0, nullptr, 0, nullptr);
  // The list may grow between one call and the next.
  while (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
    UINT count = static_cast<UINT>(listed.size());
    DWORD reasons = 0;
    result = get_list(session, &needed, &count, listed.data(), &reasons);
    if (result == ERROR_SUCCESS) {
      listed.resize(count);
      break;
    }
    listed.resize(needed);
  }
  end_session(session);
  if (result != ERROR_SUCCESS) return {};

  std::vector<FileHolder> holders;
  for (const RM_PROCESS_INFO& process : listed) {
    holders.push_back({Utf8String(process.strAppName), ImageName(process.Process)});
  }
  return holders;
}

}  // namespace platform
