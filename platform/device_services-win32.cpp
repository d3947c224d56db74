#include "platform/device_services-win32.h"

#include <windows.h>

#include <string>
#include <vector>

#include "platform/device_services.h"
#include "platform/dynamic_library.h"
#include "platform/system_library-win32.h"

namespace platform {
namespace {

// Windows 10 version 1703.
constexpr DWORD kSplitHostsBuild = 15063;
// The service's Start value for a disabled one.
constexpr DWORD kStartDisabled = 4;

// Read truthfully, as the program's manifest declares every Windows up to 11.
std::optional<OSVERSIONINFOW> WindowsVersion() {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (!GetVersionExW(&version)) return std::nullopt;
  return version;
}

// A DWORD value of a key, if it has one.
std::optional<DWORD> NumberOf(const ServiceEntries& entries, HKEY key, const wchar_t* value) {
  DWORD type = 0;
  DWORD number = 0;
  DWORD size = sizeof number;
  if (entries.query_value(key, value, nullptr, &type, reinterpret_cast<LPBYTE>(&number), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD) {
    return std::nullopt;
  }
  return number;
}

// What the service's key tells: its status, if the key is missing or its
// start type disabled (unknown otherwise), and the split check's value.
ServiceState FromRegistry(const ServiceEntries& entries, HKEY services, const wchar_t* name) {
  ServiceState state;
  if (services == nullptr) return state;
  HKEY key = nullptr;
  const LONG opened = entries.open_key(services, name, 0, KEY_QUERY_VALUE, &key);
  if (opened == ERROR_FILE_NOT_FOUND) state.status = ServiceState::Status::kNotInstalled;
  if (opened != ERROR_SUCCESS) return state;
  if (NumberOf(entries, key, L"Start") == kStartDisabled) {
    state.status = ServiceState::Status::kDisabled;
  }
  state.split_disabled = NumberOf(entries, key, L"SvcHostSplitDisable") == 1U;
  entries.close_key(key);
  return state;
}

bool IsDisabled(const ServiceEntries& entries, SC_HANDLE service) {
  DWORD needed = 0;
  entries.query_config(service, nullptr, 0, &needed);
  if (needed == 0) return false;
  std::vector<unsigned char> buffer(needed);
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  return entries.query_config(service, config, needed, &needed) &&
         config->dwStartType == SERVICE_DISABLED;
}

// As the Service Control Manager shows it; unknown where it will not.
ServiceState FromManager(const ServiceEntries& entries, SC_HANDLE manager, const wchar_t* name) {
  ServiceState state;
  if (manager == nullptr) return state;
  const SC_HANDLE service =
      entries.open_service(manager, name, SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG);
  if (service == nullptr) {
    if (GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) {
      state.status = ServiceState::Status::kNotInstalled;
    }
    return state;
  }
  SERVICE_STATUS_PROCESS status{};
  DWORD needed = 0;
  if (entries.query_status(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<LPBYTE>(&status),
                           sizeof status, &needed)) {
    if (status.dwCurrentState == SERVICE_RUNNING) {
      state.status = ServiceState::Status::kRunning;
      state.process_id = status.dwProcessId;
    } else {
      state.status = IsDisabled(entries, service) ? ServiceState::Status::kDisabled
                                                  : ServiceState::Status::kStopped;
    }
  }
  entries.close_service(service);
  return state;
}

}  // namespace

// A run whose logon is neither interactive nor a service's (a scheduled
// task's batch logon) may be denied the query by the service's security
// descriptor; its key still says what is missing or disabled.
ServiceState LookAtService(const ServiceEntries& entries, SC_HANDLE manager, HKEY services,
                           const wchar_t* name) {
  ServiceState state = FromManager(entries, manager, name);
  const ServiceState registered = FromRegistry(entries, services, name);
  if (state.status == ServiceState::Status::kUnknown) state.status = registered.status;
  state.split_disabled = registered.split_disabled;
  return state;
}

RemoteApiProvider RemoteApiProviderHere() {
  const std::optional<OSVERSIONINFOW> version = WindowsVersion();
  return version && version->dwMajorVersion < 6 ? RemoteApiProvider::kActiveSync
                                                : RemoteApiProvider::kDeviceCenter;
}

std::optional<DeviceServices> LookAtDeviceServices() {
  const std::optional<OSVERSIONINFOW> version = WindowsVersion();
  if (!version || version->dwMajorVersion < 6) return std::nullopt;
  // advapi32 is loaded only to look, as user32 is only to show a message.
  const DynamicLibrary advapi = SystemLibrary("advapi32.dll");
  ServiceEntries entries;
  const auto open_manager = advapi.Find<decltype(&OpenSCManagerW)>("OpenSCManagerW");
  entries.open_service = advapi.Find<decltype(entries.open_service)>("OpenServiceW");
  entries.query_status = advapi.Find<decltype(entries.query_status)>("QueryServiceStatusEx");
  entries.query_config = advapi.Find<decltype(entries.query_config)>("QueryServiceConfigW");
  entries.close_service = advapi.Find<decltype(entries.close_service)>("CloseServiceHandle");
  entries.open_key = advapi.Find<decltype(entries.open_key)>("RegOpenKeyExW");
  entries.query_value = advapi.Find<decltype(entries.query_value)>("RegQueryValueExW");
  entries.close_key = advapi.Find<decltype(entries.close_key)>("RegCloseKey");
  DeviceServices services;
  services.splits_service_hosts =
      version->dwMajorVersion >= 10 && version->dwBuildNumber >= kSplitHostsBuild;
  if (!entries.open_service || !entries.query_status || !entries.query_config ||
      !entries.close_service || !entries.open_key || !entries.query_value || !entries.close_key ||
      !open_manager) {
    return services;
  }
  const SC_HANDLE manager = open_manager(nullptr, nullptr, SC_MANAGER_CONNECT);
  HKEY keys = nullptr;
  if (entries.open_key(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services", 0, KEY_READ,
                       &keys) != ERROR_SUCCESS) {
    keys = nullptr;
  }
  services.rapi_manager = LookAtService(entries, manager, keys, L"RapiMgr");
  services.connection_manager = LookAtService(entries, manager, keys, L"WcesComm");
  if (keys != nullptr) entries.close_key(keys);
  if (manager != nullptr) entries.close_service(manager);
  return services;
}

}  // namespace platform
