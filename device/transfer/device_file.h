#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/remote_api/trapi.h"

// A device path as the remote API takes it: NUL-terminated UTF-16.
std::vector<RapiChar> DevicePathText(const std::string& path);

// A file on the device, opened for reading and writing with no sharing, and
// closed with the object. Every failure throws CopyFailure, naming the file
// as name says (see Quoted).
class DeviceFile {
 public:
  DeviceFile(const TRAPI& api, const std::string& path, RapiDword disposition, std::string name);
  ~DeviceFile();
  DeviceFile(const DeviceFile&) = delete;
  DeviceFile& operator=(const DeviceFile&) = delete;

  // Fills up to size bytes; 0 means the end of the file.
  std::size_t Read(void* buffer, std::size_t size);
  // Stores all size bytes.
  void Write(const void* data, std::size_t size);
  // The file's size as the device tells it, when it can.
  std::optional<std::uint64_t> Size() const;
  void Close();

 private:
  const TRAPI& api_;
  std::string name_;
  RapiHandle handle_;
  bool open_ = false;
};
