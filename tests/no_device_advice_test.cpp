// The line after a connection that failed: the likeliest cause, checked in
// order, from what the PC's services show (Windows) or the failure itself.
#include "device/transfer/no_device_advice.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

#include "texts/texts.h"

namespace {

using platform::DeviceServices;
using platform::RemoteApiProvider;
using Status = platform::ServiceState::Status;

constexpr RapiResult kLocked = static_cast<RapiResult>(0x80070056U);
constexpr RapiResult kFailed = static_cast<RapiResult>(0x80004005U);

// Both running in processes of their own on Windows 10 1703 or later.
DeviceServices Apart() {
  DeviceServices services;
  services.rapi_manager = {Status::kRunning, 100, false};
  services.connection_manager = {Status::kRunning, 200, false};
  services.splits_service_hosts = true;
  return services;
}

DeviceServices With(Status rapi_manager, Status connection_manager) {
  DeviceServices services = Apart();
  services.rapi_manager.status = rapi_manager;
  services.connection_manager.status = connection_manager;
  return services;
}

struct AdviceCase {
  const char* name;
  std::optional<RapiResult> failure;
  RemoteApiProvider provider;
  std::optional<DeviceServices> services;
  std::optional<std::string> advice;
};

std::ostream& operator<<(std::ostream& out, const AdviceCase& test) { return out << test.name; }

const char* const kCheckDeviceCenter =
    "check that the handheld is docked, switched on and unlocked, and that Windows Mobile Device "
    "Center shows it as connected";
const char* const kSplit =
    "Windows runs the services RapiMgr and WcesComm in separate processes, where they do not "
    "work together: an administrator must set SvcHostSplitDisable to 1 for both and restart them, "
    "as README.txt shows, or install FileCopy's MSI with WMDCFIX=1";

DeviceServices Changed(DeviceServices services, void (*change)(DeviceServices&)) {
  change(services);
  return services;
}

class NoDeviceAdviceTest : public ::testing::TestWithParam<AdviceCase> {};

TEST_P(NoDeviceAdviceTest, NamesTheLikeliestCause) {
  SetLanguage(Language::kEnglish);
  const AdviceCase& test = GetParam();
  EXPECT_EQ(NoDeviceAdvice(test.failure, test.provider, test.services), test.advice);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, NoDeviceAdviceTest,
    ::testing::Values(
        AdviceCase{"LockedBeforeAnythingElse", kLocked, RemoteApiProvider::kDeviceCenter,
                   With(Status::kNotInstalled, Status::kNotInstalled),
                   "the handheld is locked: unlock it and run again"},
        AdviceCase{"LockedOnPosix", kLocked, RemoteApiProvider::kLinuxRapiLibrary, std::nullopt,
                   "the handheld is locked: unlock it and run again"},
        AdviceCase{"NothingMoreOnPosix", kFailed, RemoteApiProvider::kLinuxRapiLibrary,
                   std::nullopt, std::nullopt},
        AdviceCase{"NotInstalled", kFailed, RemoteApiProvider::kDeviceCenter,
                   With(Status::kRunning, Status::kNotInstalled),
                   "Windows Mobile Device Center is not installed or is damaged (there is no "
                   "service WcesComm): install it, README.txt says where from"},
        // Disabled comes before stopped, whichever service it is.
        AdviceCase{"Disabled", std::nullopt, RemoteApiProvider::kDeviceCenter,
                   With(Status::kStopped, Status::kDisabled),
                   "the service WcesComm of Windows Mobile Device Center is disabled: an "
                   "administrator must set its start type to Automatic and start it (net start "
                   "WcesComm), or install FileCopy's MSI with WMDCFIX=1"},
        AdviceCase{"Stopped", kFailed, RemoteApiProvider::kDeviceCenter,
                   With(Status::kStopped, Status::kStopped),
                   "the service RapiMgr of Windows Mobile Device Center is not running: an "
                   "administrator must start it (net start RapiMgr) or set its start type to "
                   "Automatic"},
        AdviceCase{"RunningApart", kFailed, RemoteApiProvider::kDeviceCenter, Apart(), kSplit},
        AdviceCase{
            "ApartWithTheValueUnderOneKeyOnly", kFailed, RemoteApiProvider::kDeviceCenter,
            Changed(Apart(), [](DeviceServices& s) { s.connection_manager.split_disabled = true; }),
            kSplit},
        AdviceCase{"ApartWithTheValueUnderBothKeys", kFailed, RemoteApiProvider::kDeviceCenter,
                   Changed(Apart(),
                           [](DeviceServices& s) {
                             s.rapi_manager.split_disabled = true;
                             s.connection_manager.split_disabled = true;
                           }),
                   kCheckDeviceCenter},
        AdviceCase{"InOneProcess", kFailed, RemoteApiProvider::kDeviceCenter,
                   Changed(Apart(), [](DeviceServices& s) { s.rapi_manager.process_id = 200; }),
                   kCheckDeviceCenter},
        AdviceCase{"BeforeWindows10Version1703", kFailed, RemoteApiProvider::kDeviceCenter,
                   Changed(Apart(), [](DeviceServices& s) { s.splits_service_hosts = false; }),
                   kCheckDeviceCenter},
        AdviceCase{"NotSeen", kFailed, RemoteApiProvider::kDeviceCenter,
                   With(Status::kUnknown, Status::kUnknown), kCheckDeviceCenter},
        AdviceCase{"WindowsXp", kFailed, RemoteApiProvider::kActiveSync, std::nullopt,
                   "check that the handheld is docked, switched on and unlocked, and that "
                   "ActiveSync shows it as connected"}),
    [](const ::testing::TestParamInfo<AdviceCase>& test) { return test.param.name; });

// An office fixes these two on every PC at once with the MSI: each language
// says so, and only for them.
TEST(NoDeviceAdviceInEachLanguage, NamesTheMsiFixForDisabledOrSplitServicesOnly) {
  const std::pair<DeviceServices, bool> causes[] = {
      {With(Status::kRunning, Status::kDisabled), true},
      {Apart(), true},
      {With(Status::kRunning, Status::kStopped), false},
      {With(Status::kRunning, Status::kNotInstalled), false}};
  for (const Language language : {Language::kEnglish, Language::kPolish}) {
    SetLanguage(language);
    for (const auto& [services, named] : causes) {
      const std::string advice =
          NoDeviceAdvice(kFailed, RemoteApiProvider::kDeviceCenter, services).value_or("");
      EXPECT_EQ(advice.find("WMDCFIX=1") != std::string::npos, named) << advice;
    }
  }
  SetLanguage(Language::kEnglish);
}

}  // namespace
