#pragma once

#include <cstdint>
#include <optional>

namespace platform {

// The software that provides the remote API library on this system.
enum class RemoteApiProvider {
  kActiveSync,        // Windows XP
  kDeviceCenter,      // Windows Mobile Device Center, Windows Vista and later
  kLinuxRapiLibrary,  // POSIX
};
RemoteApiProvider RemoteApiProviderHere();

// One of Windows Mobile Device Center's two services, as the PC has it.
struct ServiceState {
  enum class Status { kUnknown, kNotInstalled, kDisabled, kStopped, kRunning };
  Status status = Status::kUnknown;
  std::uint32_t process_id = 0;  // while running
  bool split_disabled = false;   // SvcHostSplitDisable is 1 under its key
};

struct DeviceServices {
  ServiceState rapi_manager;        // RapiMgr
  ServiceState connection_manager;  // WcesComm
  // Windows 10 1703 and later, which may run the two in processes of their own.
  bool splits_service_hosts = false;
};

// The services as any user may see them, through the Service Control Manager
// and the registry, changing nothing; nothing where there are none to look
// at: on POSIX, and on Windows XP, whose ActiveSync runs no such services.
std::optional<DeviceServices> LookAtDeviceServices();

}  // namespace platform
