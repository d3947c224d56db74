#include <windows.h>

#include "platform/dynamic_library.h"
#include "platform/event_log.h"
#include "platform/system_library-win32.h"
#include "platform/wide_string-win32.h"

namespace platform {
namespace {

using RegisterEntry = HANDLE(WINAPI*)(LPCWSTR, LPCWSTR);
using ReportEntry = BOOL(WINAPI*)(HANDLE, WORD, WORD, DWORD, PSID, WORD, DWORD, LPCWSTR*, LPVOID);
using DeregisterEntry = BOOL(WINAPI*)(HANDLE);

WORD EventLogType(EventType type) {
  switch (type) {
    case EventType::kError: return EVENTLOG_ERROR_TYPE;
    case EventType::kWarning: return EVENTLOG_WARNING_TYPE;
    case EventType::kInformation: break;
  }
  return EVENTLOG_INFORMATION_TYPE;
}

}  // namespace

bool HasEventLog() { return true; }

// advapi32 is loaded here, not linked: a run that writes no event (every
// successful one, by default) never pays for it.
void WriteEvent(const std::string& source, EventType type, std::uint32_t id,
                const std::vector<std::string>& strings) {
  const DynamicLibrary advapi = SystemLibrary("advapi32.dll");
  const auto register_source = advapi.Find<RegisterEntry>("RegisterEventSourceW");
  const auto report = advapi.Find<ReportEntry>("ReportEventW");
  const auto deregister = advapi.Find<DeregisterEntry>("DeregisterEventSource");
  if (register_source == nullptr || report == nullptr || deregister == nullptr) return;
  const HANDLE log = register_source(nullptr, WideString(source).c_str());
  if (log == nullptr) return;
  std::vector<std::wstring> wide;
  wide.reserve(strings.size());
  for (const std::string& text : strings) wide.push_back(WideString(text));
  std::vector<LPCWSTR> pointers;
  pointers.reserve(wide.size());
  for (const std::wstring& text : wide) pointers.push_back(text.c_str());
  report(log, EventLogType(type), 0, id, nullptr, static_cast<WORD>(pointers.size()), 0,
         pointers.data(), nullptr);
  deregister(log);
}

}  // namespace platform
