#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "sim/host_file.h"

namespace sim {

// A call that does its work, then answers this many milliseconds late, as a
// busy handheld does; the whole delay, whatever signals come meanwhile.
struct LateAnswer {
  std::string entry;
  std::uint64_t delay_ms = 0;
};

// What the environment asks of one connection: where the device's files are,
// where to log calls, and which faults to play.
struct Settings {
  std::optional<HostPath> root;
  std::optional<HostPath> log;
  bool fail_connect = false;
  // The HRESULT the connection fails with instead of succeeding.
  std::optional<std::int32_t> connect_result;
  bool fail_open = false;
  // The open fails and CeGetLastError gives this code, as the device's reason.
  std::optional<std::uint32_t> device_error;
  bool fail_close = false;
  bool fail_delete = false;  // the connection's first delete only
  bool fail_move = false;
  std::optional<std::uint64_t> fail_read_after;
  std::optional<std::uint64_t> fail_write_after;
  std::optional<std::uint64_t> short_write_after;
  // Once this many bytes have been read and written in all, the link is cut:
  // it drops (every call fails from then on, CeRapiGetError tells why), or the
  // read or write that would go on hangs.
  std::optional<std::uint64_t> drop_after;
  std::optional<std::uint64_t> hang_after;
  // How the device docks: connect_delay_ms after the call, or never until the
  // program gives up with CeRapiUninit.
  std::uint64_t connect_delay_ms = 0;
  bool no_device = false;
  // What each read and write waits first, as over a slow link.
  std::uint64_t call_delay_ms = 0;
  std::optional<LateAnswer> late_answer;
  // False when a fault variable holds neither a 0/1 flag nor a count,
  // so a mistyped fault cannot pass for a clean run.
  bool well_formed = true;
};

Settings ReadSettings();

}  // namespace sim
