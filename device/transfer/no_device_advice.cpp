#include "device/transfer/no_device_advice.h"

#include <utility>

#include "texts/texts.h"

namespace {

using platform::ServiceState;

// HRESULT_FROM_WIN32(ERROR_INVALID_PASSWORD), as the Linux library reports a
// locked handheld.
constexpr RapiResult kLocked = static_cast<RapiResult>(0x80070056U);

// The first of the two services in that state, by name.
std::optional<std::string> Named(const platform::DeviceServices& services,
                                 ServiceState::Status status) {
  const std::pair<const char*, const ServiceState*> both[] = {
      {"RapiMgr", &services.rapi_manager}, {"WcesComm", &services.connection_manager}};
  for (const auto& [name, state] : both) {
    if (state->status == status) return name;
  }
  return std::nullopt;
}

// Both run, but each in a process of its own, as Windows 10 1703 and later
// start services unless told not to.
bool RunApart(const platform::DeviceServices& services) {
  const ServiceState& rapi = services.rapi_manager;
  const ServiceState& connection = services.connection_manager;
  return services.splits_service_hosts && rapi.status == ServiceState::Status::kRunning &&
         connection.status == ServiceState::Status::kRunning &&
         rapi.process_id != connection.process_id &&
         !(rapi.split_disabled && connection.split_disabled);
}

}  // namespace

std::optional<std::string> NoDeviceAdvice(std::optional<RapiResult> failure,
                                          platform::RemoteApiProvider provider,
                                          const std::optional<platform::DeviceServices>& services) {
  if (failure == kLocked) return Say(Text::kHandheldLocked);
  if (provider == platform::RemoteApiProvider::kLinuxRapiLibrary) return std::nullopt;
  if (services) {
    for (const auto& [status, text] :
         {std::pair{ServiceState::Status::kNotInstalled, Text::kDeviceCenterMissing},
          std::pair{ServiceState::Status::kDisabled, Text::kServiceDisabled},
          std::pair{ServiceState::Status::kStopped, Text::kServiceStopped}}) {
      if (const std::optional<std::string> name = Named(*services, status)) {
        return Say(text, {*name});
      }
    }
    if (RunApart(*services)) return Say(Text::kServicesSplit);
  }
  const std::string shows_connection = provider == platform::RemoteApiProvider::kActiveSync
                                           ? std::string("ActiveSync")
                                           : Say(Text::kDeviceCenter);
  return Say(Text::kCheckHandheld, {shows_connection});
}

std::optional<std::string> NoDeviceAdviceHere(std::optional<RapiResult> failure) {
  const platform::RemoteApiProvider provider = platform::RemoteApiProviderHere();
  // The services are looked at only where a line may come of it.
  if (failure == kLocked || provider == platform::RemoteApiProvider::kLinuxRapiLibrary) {
    return NoDeviceAdvice(failure, provider, std::nullopt);
  }
  return NoDeviceAdvice(failure, provider, platform::LookAtDeviceServices());
}
