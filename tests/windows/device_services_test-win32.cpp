// What a run learns of Windows Mobile Device Center's services when the
// Service Control Manager answers, and when it is denied (a scheduled task's
// batch logon, which the services' default security grants no query): then
// from each service's key, here one this test writes under HKCU. Wine denies
// nothing, so a stand-in plays the Service Control Manager.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <string>
#include <utility>

#include "platform/device_services-win32.h"

namespace {

using Status = platform::ServiceState::Status;

constexpr const wchar_t* kServices = L"Software\\FileCopy unit tests\\Services";
constexpr const wchar_t* kName = L"RapiMgr";

// What the stand-in answers: an error for opening the service, or its state.
struct Manager {
  DWORD open_error = ERROR_SUCCESS;
  bool status_denied = false;
  DWORD state = SERVICE_RUNNING;
  DWORD start_type = SERVICE_DEMAND_START;
};
Manager g_manager;
const auto kService = reinterpret_cast<SC_HANDLE>(static_cast<std::uintptr_t>(0x5e));

SC_HANDLE WINAPI OpenService(SC_HANDLE, LPCWSTR, DWORD) {
  if (g_manager.open_error == ERROR_SUCCESS) return kService;
  SetLastError(g_manager.open_error);
  return nullptr;
}

BOOL WINAPI QueryStatus(SC_HANDLE, SC_STATUS_TYPE, LPBYTE buffer, DWORD, LPDWORD) {
  if (g_manager.status_denied) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  auto* status = reinterpret_cast<SERVICE_STATUS_PROCESS*>(buffer);
  *status = {};
  status->dwCurrentState = g_manager.state;
  status->dwProcessId = g_manager.state == SERVICE_RUNNING ? 7 : 0;
  return TRUE;
}

BOOL WINAPI QueryConfig(SC_HANDLE, LPQUERY_SERVICE_CONFIGW config, DWORD size, LPDWORD needed) {
  *needed = sizeof(QUERY_SERVICE_CONFIGW);
  if (config == nullptr || size < *needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  *config = {};
  config->dwStartType = g_manager.start_type;
  return TRUE;
}

BOOL WINAPI CloseService(SC_HANDLE) { return TRUE; }

const platform::ServiceEntries kEntries{OpenService,   QueryStatus,      QueryConfig, CloseService,
                                        RegOpenKeyExW, RegQueryValueExW, RegCloseKey};

struct ServiceCase {
  const char* name;
  Manager manager;
  bool keyed;  // the service has a key
  std::optional<DWORD> start;
  std::optional<DWORD> split;
  Status status;
  bool split_disabled;
};

// Failures name the row, not its bytes.
void PrintTo(const ServiceCase& row, std::ostream* out) { *out << row.name; }

class ServiceLook : public ::testing::TestWithParam<ServiceCase> {
 protected:
  void SetUp() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kServices);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kServices, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &services_, nullptr),
              ERROR_SUCCESS);
    if (!GetParam().keyed) return;
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(services_, kName, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    for (const auto& [value, number] : {std::pair{L"Start", GetParam().start},
                                        std::pair{L"SvcHostSplitDisable", GetParam().split}}) {
      if (number) {
        RegSetValueExW(key, value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*number),
                       sizeof *number);
      }
    }
    RegCloseKey(key);
  }
  void TearDown() override {
    RegCloseKey(services_);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\FileCopy unit tests");
  }

  HKEY services_ = nullptr;
};

TEST_P(ServiceLook, TellsWhatTheManagerOrElseTheKeySays) {
  g_manager = GetParam().manager;
  const SC_HANDLE manager = GetParam().name == std::string("NoManager")
                                ? nullptr
                                : reinterpret_cast<SC_HANDLE>(static_cast<std::uintptr_t>(0x3c));
  const platform::ServiceState state = platform::LookAtService(kEntries, manager, services_, kName);
  EXPECT_EQ(state.status, GetParam().status);
  EXPECT_EQ(state.split_disabled, GetParam().split_disabled);
  EXPECT_EQ(state.process_id, state.status == Status::kRunning ? 7U : 0U);
}

constexpr DWORD kAutomatic = 2;
constexpr DWORD kDisabled = 4;
const Manager kDenied{ERROR_ACCESS_DENIED};

INSTANTIATE_TEST_SUITE_P(
    Services, ServiceLook,
    ::testing::Values(
        ServiceCase{"Running", {}, true, kDisabled, 1, Status::kRunning, true},
        ServiceCase{"Stopped",
                    {ERROR_SUCCESS, false, SERVICE_STOPPED},
                    true,
                    kAutomatic,
                    0,
                    Status::kStopped,
                    false},
        ServiceCase{"StoppedDisabled",
                    {ERROR_SUCCESS, false, SERVICE_STOPPED, SERVICE_DISABLED},
                    true,
                    kAutomatic,
                    {},
                    Status::kDisabled,
                    false},
        ServiceCase{"NotInstalled",
                    {ERROR_SERVICE_DOES_NOT_EXIST},
                    true,
                    kAutomatic,
                    {},
                    Status::kNotInstalled,
                    false},
        // Denied: the key tells what it can, the split check's value too.
        ServiceCase{"DeniedWithoutAKey", kDenied, false, {}, {}, Status::kNotInstalled, false},
        ServiceCase{"DeniedDisabled", kDenied, true, kDisabled, {}, Status::kDisabled, false},
        ServiceCase{"DeniedAutomatic", kDenied, true, kAutomatic, 1, Status::kUnknown, true},
        ServiceCase{"DeniedSplitNotDisabled", kDenied, true, kAutomatic, 0, Status::kUnknown,
                    false},
        ServiceCase{"DeniedItsStatus",
                    {ERROR_SUCCESS, true},
                    true,
                    kDisabled,
                    {},
                    Status::kDisabled,
                    false},
        ServiceCase{"NoManager", {}, true, kDisabled, {}, Status::kDisabled, false}),
    [](const ::testing::TestParamInfo<ServiceCase>& test) { return std::string(test.param.name); });

}  // namespace
