#pragma once

#include <string>

#include "device/remote_api/trapi.h"
#include "texts/texts.h"

// An HRESULT as messages show it: 0x80072775.
std::string ResultText(RapiResult result);

// After a call through entry failed: the lost link (ConnectionFailure) when
// CeRapiGetError says the link itself failed; otherwise the device's reason
// from CeGetLastError (CopyFailure), a Win32 error code: the program's words
// for the commonest codes, else the PC's own text for it, else otherwise;
// then "(device error N)". Either names the step and the file as
// ThrowDeviceFailure does. Where the library lacks the entries, or the device
// gives code 0, the reason is otherwise alone; where explained is true,
// otherwise stays and the device's words follow it.
[[noreturn]] void ThrowFailedCall(const TRAPI& api, const char* entry, Text step,
                                  const std::string& file, const std::string& otherwise,
                                  bool explained = false);
