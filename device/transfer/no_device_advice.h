#pragma once

#include <optional>
#include <string>

#include "device/remote_api/rapi_types.h"
#include "platform/device_services.h"

// The line that follows a connection that failed (with failure, where the
// library gave one) or ran out of time: the likeliest cause and what to do,
// checked in order. A locked handheld says so anywhere; elsewhere only Windows
// has more to say, from what its services show.
std::optional<std::string> NoDeviceAdvice(std::optional<RapiResult> failure,
                                          platform::RemoteApiProvider provider,
                                          const std::optional<platform::DeviceServices>& services);

// The same for this PC, looked at now.
std::optional<std::string> NoDeviceAdviceHere(std::optional<RapiResult> failure);
