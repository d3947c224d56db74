#pragma once

#include <string>

#include "device/remote_api/trapi.h"

// The device's files the two transfers use.
inline constexpr const char* kDeviceExportFile = "\\Tarvel\\remanx.imp";
inline constexpr const char* kDeviceImportFile = "\\Tarvel\\remanx.exp";

// Copies the device file source to the local file target. The target is
// replaced only once the whole file has arrived; a failure leaves it as it
// was, is reported to the user, and makes the result false.
bool DownloadFile(const TRAPI& api, const std::string& source, const std::string& target);

// Copies the local file source to the device file target. The device is not
// contacted until the source is open. Where the library can delete and move
// device files, the target is replaced only once the whole file is on the
// device, and a failure before that leaves it as it was. A failure is
// reported to the user and makes the result false.
bool UploadFile(const TRAPI& api, const std::string& source, const std::string& target);
