#include "platform/device_services.h"

namespace platform {

RemoteApiProvider RemoteApiProviderHere() { return RemoteApiProvider::kLinuxRapiLibrary; }

std::optional<DeviceServices> LookAtDeviceServices() { return std::nullopt; }

}  // namespace platform
