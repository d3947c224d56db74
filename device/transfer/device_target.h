#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "device/remote_api/trapi.h"
#include "device/transfer/device_file.h"
#include "device/transfer/new_content.h"

// The new content of a device file, created with CREATE_ALWAYS. Where the
// library can delete and move files, it goes to a temporary file beside the
// target, so the target is untouched until Commit moves the new content into
// its place; dropped without Commit, it removes the temporary file. Otherwise
// the target itself is written. Every failure throws CopyFailure. Where the
// content is goes to content, for the thread that watches the calls.
class DeviceTarget {
 public:
  DeviceTarget(const TRAPI& api, std::string path, NewContent& content);
  ~DeviceTarget();
  DeviceTarget(const DeviceTarget&) = delete;
  DeviceTarget& operator=(const DeviceTarget&) = delete;

  // Stores all size bytes.
  void Write(const void* data, std::size_t size) { file_->Write(data, size); }
  void Commit();

 private:
  void Replace();

  const TRAPI& api_;
  std::string path_;
  NewContent& content_;
  // The temporary file until it is in the target's place; empty when the
  // target is written directly.
  std::string staged_path_;
  std::optional<DeviceFile> file_;
};
