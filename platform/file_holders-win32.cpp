#include "platform/file_holders-win32.h"

#include <windows.h>

#include "platform/dynamic_library.h"
#include "platform/full_path-win32.h"
#include "platform/system_library-win32.h"
#include "platform/wide_string-win32.h"

namespace platform {
namespace {

using ImageNameEntry = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);

// A session is ended on every path: the Restart Manager keeps one that is not,
// and allows 64 at a time per user session.
class RestartSession {
 public:
  explicit RestartSession(const RestartManagerEntries& entries) : entries_(entries) {
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    started_ = entries_.start_session(&handle_, 0, key) == ERROR_SUCCESS;
  }
  ~RestartSession() {
    if (started_) entries_.end_session(handle_);
  }
  RestartSession(const RestartSession&) = delete;
  RestartSession& operator=(const RestartSession&) = delete;

  bool started() const { return started_; }
  DWORD handle() const { return handle_; }

 private:
  const RestartManagerEntries& entries_;
  DWORD handle_ = 0;
  bool started_ = false;
};

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

std::vector<FileHolder> HoldersListed(const RestartManagerEntries& entries,
                                      const std::wstring& file) {
  const RestartSession session(entries);
  if (!session.started()) return {};
  LPCWSTR files[] = {file.c_str()};
  std::vector<RM_PROCESS_INFO> listed;
  UINT needed = 0;
  DWORD result = entries.register_resources(session.handle(), 1, files, 0, nullptr, 0, nullptr);
  // The list may grow between one call and the next.
  while (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
    UINT count = static_cast<UINT>(listed.size());
    DWORD reasons = 0;
    result = entries.get_list(session.handle(), &needed, &count, listed.data(), &reasons);
    if (result == ERROR_SUCCESS) {
      listed.resize(count);
      break;
    }
    listed.resize(needed);
  }
  if (result != ERROR_SUCCESS) return {};

  // The application's name, not its service's short one, which means nothing to people.
  std::vector<FileHolder> holders;
  for (const RM_PROCESS_INFO& process : listed) {
    holders.push_back({Utf8String(process.strAppName), ImageName(process.Process)});
  }
  return holders;
}

// The Restart Manager came with Vista: loaded at run time, so XP still starts.
std::vector<FileHolder> HoldersOf(const std::string& path) {
  const DynamicLibrary library = SystemLibrary("rstrtmgr.dll");
  RestartManagerEntries entries;
  entries.start_session = library.Find<decltype(entries.start_session)>("RmStartSession");
  entries.end_session = library.Find<decltype(entries.end_session)>("RmEndSession");
  entries.register_resources =
      library.Find<decltype(entries.register_resources)>("RmRegisterResources");
  entries.get_list = library.Find<decltype(entries.get_list)>("RmGetList");
  if (!entries.start_session || !entries.end_session || !entries.register_resources ||
      !entries.get_list) {
    return {};
  }
  return HoldersListed(entries, EverydayPath(path));
}

}  // namespace platform
