#include <windows.h>

#include <string>
#include <vector>

#include "platform/advapi-win32.h"
#include "platform/device_services.h"

namespace platform {
namespace {

// Windows 10 version 1703.
constexpr DWORD kSplitHostsBuild = 15063;

// Read truthfully, as the program's manifest declares every Windows up to 11.
std::optional<OSVERSIONINFOW> WindowsVersion() {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (!GetVersionExW(&version)) return std::nullopt;
  return version;
}

using OpenManagerEntry = SC_HANDLE(WINAPI*)(LPCWSTR, LPCWSTR, DWORD);
using OpenServiceEntry = SC_HANDLE(WINAPI*)(SC_HANDLE, LPCWSTR, DWORD);
using QueryStatusEntry = BOOL(WINAPI*)(SC_HANDLE, SC_STATUS_TYPE, LPBYTE, DWORD, LPDWORD);
using QueryConfigEntry = BOOL(WINAPI*)(SC_HANDLE, LPQUERY_SERVICE_CONFIGW, DWORD, LPDWORD);
using CloseEntry = BOOL(WINAPI*)(SC_HANDLE);
using OpenKeyEntry = LONG(WINAPI*)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);
using QueryValueEntry = LONG(WINAPI*)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
using CloseKeyEntry = LONG(WINAPI*)(HKEY);

class ServiceLook {
 public:
  explicit ServiceLook(const Advapi& advapi)
      : open_service_(advapi.Find<OpenServiceEntry>("OpenServiceW")),
        query_status_(advapi.Find<QueryStatusEntry>("QueryServiceStatusEx")),
        query_config_(advapi.Find<QueryConfigEntry>("QueryServiceConfigW")),
        close_(advapi.Find<CloseEntry>("CloseServiceHandle")),
        open_key_(advapi.Find<OpenKeyEntry>("RegOpenKeyExW")),
        query_value_(advapi.Find<QueryValueEntry>("RegQueryValueExW")),
        close_key_(advapi.Find<CloseKeyEntry>("RegCloseKey")) {
    const auto open_manager = advapi.Find<OpenManagerEntry>("OpenSCManagerW");
    if (open_manager != nullptr && open_service_ != nullptr && query_status_ != nullptr &&
        query_config_ != nullptr && close_ != nullptr) {
      manager_ = open_manager(nullptr, nullptr, SC_MANAGER_CONNECT);
    }
  }
  ~ServiceLook() {
    if (manager_ != nullptr) close_(manager_);
  }
  ServiceLook(const ServiceLook&) = delete;
  ServiceLook& operator=(const ServiceLook&) = delete;

  ServiceState State(const wchar_t* name) const {
    ServiceState state;
    if (manager_ == nullptr) return state;
    const SC_HANDLE service =
        open_service_(manager_, name, SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG);
    if (service == nullptr) {
      if (GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) {
        state.status = ServiceState::Status::kNotInstalled;
      }
      return state;
    }
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (query_status_(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<LPBYTE>(&status),
                      sizeof status, &needed)) {
      if (status.dwCurrentState == SERVICE_RUNNING) {
        state.status = ServiceState::Status::kRunning;
        state.process_id = status.dwProcessId;
      } else {
        state.status =
            IsDisabled(service) ? ServiceState::Status::kDisabled : ServiceState::Status::kStopped;
      }
    }
    close_(service);
    state.split_disabled = SplitDisabled(name);
    return state;
  }

 private:
  bool IsDisabled(SC_HANDLE service) const {
    DWORD needed = 0;
    query_config_(service, nullptr, 0, &needed);
    if (needed == 0) return false;
    std::vector<unsigned char> buffer(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    return query_config_(service, config, needed, &needed) &&
           config->dwStartType == SERVICE_DISABLED;
  }

  bool SplitDisabled(const wchar_t* name) const {
    if (open_key_ == nullptr || query_value_ == nullptr || close_key_ == nullptr) return false;
    const std::wstring path = std::wstring(L"SYSTEM\\CurrentControlSet\\Services\\") + name;
    HKEY key = nullptr;
    if (open_key_(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
      return false;
    }
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    const bool one = query_value_(key, L"SvcHostSplitDisable", nullptr, &type,
                                  reinterpret_cast<LPBYTE>(&value), &size) == ERROR_SUCCESS &&
                     type == REG_DWORD && value == 1;
    close_key_(key);
    return one;
  }

  SC_HANDLE manager_ = nullptr;
  OpenServiceEntry open_service_;
  QueryStatusEntry query_status_;
  QueryConfigEntry query_config_;
  CloseEntry close_;
  OpenKeyEntry open_key_;
  QueryValueEntry query_value_;
  CloseKeyEntry close_key_;
};

}  // namespace

RemoteApiProvider RemoteApiProviderHere() {
  const std::optional<OSVERSIONINFOW> version = WindowsVersion();
  return version && version->dwMajorVersion < 6 ? RemoteApiProvider::kActiveSync
                                                : RemoteApiProvider::kDeviceCenter;
}

std::optional<DeviceServices> LookAtDeviceServices() {
  const std::optional<OSVERSIONINFOW> version = WindowsVersion();
  if (!version || version->dwMajorVersion < 6) return std::nullopt;
  const Advapi advapi;
  const ServiceLook look(advapi);
  DeviceServices services;
  services.rapi_manager = look.State(L"RapiMgr");
  services.connection_manager = look.State(L"WcesComm");
  services.splits_service_hosts =
      version->dwMajorVersion >= 10 && version->dwBuildNumber >= kSplitHostsBuild;
  return services;
}

}  // namespace platform
