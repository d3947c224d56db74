#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "sim/call_log.h"
#include "sim/handle_table.h"
#include "sim/settings.h"

namespace sim {

// The simulated handheld: one connection at a time, its open files and the
// faults the environment asked for. Not thread-safe; neither is the program.
class Simulator {
 public:
  static constexpr std::int32_t kOk = 0;
  static constexpr std::int32_t kFail = static_cast<std::int32_t>(0x80004005U);
  static constexpr std::uint32_t kInvalidHandle = 0xFFFFFFFFU;

  struct OpenRequest {
    bool read = false;
    bool write = false;
    bool shared = false;
    std::uint32_t disposition = 0;
  };

  // Rereads the environment and starts a fresh session; the result as an HRESULT.
  std::int32_t Connect();
  std::int32_t Disconnect();
  std::uint32_t Open(std::u16string_view device_path, const OpenRequest& request);
  // done is what the call stored through its count pointer.
  bool Read(std::uint32_t handle, void* buffer, std::uint32_t count, std::uint32_t& done);
  bool Write(std::uint32_t handle, const void* buffer, std::uint32_t count, std::uint32_t& done);
  bool Close(std::uint32_t handle);
  std::optional<std::uint64_t> FileSize(std::uint32_t handle);
  bool MakeDirectory(std::u16string_view device_path);
  bool Delete(std::u16string_view device_path);
  bool Move(std::u16string_view existing_path, std::u16string_view new_path);

  CallLog& Log() { return log_; }

 private:
  std::optional<HostPath> HostPathOf(std::u16string_view device_path) const;
  OpenFile* Readable(std::uint32_t handle);
  OpenFile* Writable(std::uint32_t handle);

  Settings settings_;
  bool connected_ = false;
  // Empty while not connected, so handles work only inside a connection.
  HandleTable files_;
  std::uint64_t bytes_read_ = 0;
  std::uint64_t bytes_written_ = 0;
  std::uint64_t deletes_ = 0;
  CallLog log_;
};

}  // namespace sim
