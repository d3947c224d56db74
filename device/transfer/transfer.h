#pragma once

#include <string>

#include "device/remote_api/trapi.h"
#include "device/transfer/copy_outcome.h"

// The device's files the two transfers use.
inline constexpr const char* kDeviceExportFile = "\\Tarvel\\remanx.imp";
inline constexpr const char* kDeviceImportFile = "\\Tarvel\\remanx.exp";

// Copies the device file source to the local file target. The target is
// replaced only once the whole file has arrived; a failure or a stop before
// that leaves it as it was.
CopyOutcome DownloadFile(const TRAPI& api, const std::string& source, const std::string& target);

// Copies the local file source to the device file target. The device is not
// contacted until the source is open. Where the library can delete and move
// device files, the target is replaced only once the whole file is on the
// device, and a failure or a stop before that leaves it as it was.
CopyOutcome UploadFile(const TRAPI& api, const std::string& source, const std::string& target);
