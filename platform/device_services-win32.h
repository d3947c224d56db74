#pragma once

#include <windows.h>

#include "platform/device_services.h"

namespace platform {

// The calls that look at a service, from advapi32.
struct ServiceEntries {
  decltype(&OpenServiceW) open_service = nullptr;
  decltype(&QueryServiceStatusEx) query_status = nullptr;
  decltype(&QueryServiceConfigW) query_config = nullptr;
  decltype(&CloseServiceHandle) close_service = nullptr;
  decltype(&RegOpenKeyExW) open_key = nullptr;
  decltype(&RegQueryValueExW) query_value = nullptr;
  decltype(&RegCloseKey) close_key = nullptr;
};

// One service as the Service Control Manager (manager, if it could be
// opened) shows it; where it will not, as far as the service's key under
// services (HKLM\SYSTEM\CurrentControlSet\Services, which every user may
// read) tells: whether there is one, and whether it is disabled.
ServiceState LookAtService(const ServiceEntries& entries, SC_HANDLE manager, HKEY services,
                           const wchar_t* name);

}  // namespace platform
