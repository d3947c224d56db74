#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "sim/call_log.h"
#include "sim/handle_table.h"
#include "sim/host_event.h"
#include "sim/settings.h"

namespace sim {

// The simulated handheld: one connection at a time, its open files and the
// faults the environment asked for. Calls come from one thread at a time, as
// the program makes them, except that CeRapiUninit may come from another
// thread to give up on a device that has not docked, or on a call that hangs;
// the connection's own state is locked for that, the file calls stay
// lock-free. Each failed file call leaves the device's reason, a Win32 error
// code, for CeGetLastError: 0 where a fault flag made it fail.
class Simulator {
 public:
  static constexpr std::int32_t kOk = 0;
  static constexpr std::int32_t kFail = static_cast<std::int32_t>(0x80004005U);
  static constexpr std::int32_t kInvalidArgument = static_cast<std::int32_t>(0x80070057U);
  // HRESULT_FROM_WIN32(WSAEDISCON): what the link says once it has dropped.
  static constexpr std::int32_t kLinkDropped = static_cast<std::int32_t>(0x80072775U);
  static constexpr std::uint32_t kInvalidHandle = 0xFFFFFFFFU;

  struct OpenRequest {
    bool read = false;
    bool write = false;
    bool shared = false;
    std::uint32_t disposition = 0;
  };

  // What a read or write came to; one that hangs is to call Hang next.
  enum class Outcome { kDone, kFailed, kHangs };

  // Stores a background connection's outcome where its caller reads it
  // (CeRapiInitEx's structure), just before the event is set.
  using Report = void (*)(void* init, std::int32_t outcome);

  Simulator() = default;
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // CeRapiInit: rereads the environment and starts a fresh session, ending
  // any other; returns, as an HRESULT, once the device has docked, the
  // connection has failed or CeRapiUninit has cut it short.
  std::int32_t Connect();
  // CeRapiInitEx: the same, returning at once; the outcome goes to report and
  // then event, set once the connection is made or has failed.
  std::int32_t ConnectInBackground(void* init, Report report, HostDescriptor& event);
  // CeRapiInitEx without a structure of the right size: nothing changes.
  std::int32_t RefuseInit(const void* init);
  // CeRapiUninit: ends the session and releases the event, giving up on a
  // device still awaited.
  std::int32_t Disconnect();
  std::uint32_t Open(std::u16string_view device_path, const OpenRequest& request);
  // done is what the call stored through its count pointer.
  Outcome Read(std::uint32_t handle, void* buffer, std::uint32_t count, std::uint32_t& done);
  Outcome Write(std::uint32_t handle, const void* buffer, std::uint32_t count, std::uint32_t& done);
  // The rest of a read or write that hangs: returns, failed, only once
  // CeRapiUninit from another thread ends the session; the link is down then.
  bool Hang();
  bool Close(std::uint32_t handle);
  std::optional<std::uint64_t> FileSize(std::uint32_t handle);
  bool MakeDirectory(std::u16string_view device_path);
  bool Delete(std::u16string_view device_path);
  bool Move(std::u16string_view existing_path, std::u16string_view new_path);
  // CeRapiGetError: the link's own failure, S_OK while it holds.
  std::int32_t LinkError() const { return dropped_ ? kLinkDropped : kOk; }
  // CeGetLastError.
  std::uint32_t LastError() const { return last_error_; }

  CallLog& Log() { return log_; }
  // Once a call of entry has done its work and logged it: waits as long as
  // the connection asks that entry's answers to be late.
  void AnswerLate(const char* entry);

 private:
  // How an attempt settles: at once (delay 0), after delay milliseconds, or
  // never (no delay) until it is cut short.
  struct Docking {
    std::int32_t outcome = kFail;
    std::optional<std::uint64_t> delay = 0;
    bool Waits() const { return !delay || *delay != 0; }
  };

  // A connection CeRapiInitEx started, settling on a thread of its own.
  struct Background {
    void* init = nullptr;
    Report report = nullptr;
    std::uint64_t attempt = 0;
    Docking docking;
    HostEvent event;  // the caller's
    HostEvent cancel;
    HostThread thread;  // last, so it is joined before the events close
  };

  // These run with lock_ held; a background connection taken from them is
  // joined once it is released, as its thread needs the lock to end.
  Docking Begin();
  // Ends the current attempt, waking whatever waits for it, and hands back
  // the background connection.
  std::unique_ptr<Background> CutShort();
  // The result of an attempt that has waited for the device.
  std::int32_t Conclude(std::uint64_t attempt, std::int32_t outcome);
  void Publish(Background& background);
  void LogResult(const char* entry, std::int32_t result);

  // On the background connection's thread.
  void Settle(Background& background);

  std::optional<HostPath> HostPathOf(std::u16string_view device_path) const;
  OpenFile* Readable(std::uint32_t handle);
  OpenFile* Writable(std::uint32_t handle);
  std::uint32_t OpenFailure(std::u16string_view device_path, const HostPath& path) const;
  // Set the device's reason and fail as each kind of call does.
  bool Fail(std::uint32_t code);
  std::uint32_t Refuse(std::uint32_t code);
  Outcome Failed(std::uint32_t code);
  // Where the link is cut, if anywhere: the fewer bytes of the two faults.
  std::optional<std::uint64_t> CutAfter() const;
  // The read or write that meets the cut: hangs, or drops the link and fails.
  Outcome Cut();

  HostLock lock_;
  // Counts attempts and their ends, so a waiter woken late knows it was cut short.
  std::uint64_t attempt_ = 0;
  // The cancel event of a CeRapiInit waiting for the device.
  HostEvent* waiting_ = nullptr;
  std::unique_ptr<Background> background_;
  // Also set by the background connection; read unlocked by file calls.
  std::atomic<bool> connected_{false};

  Settings settings_;
  // Empty while not connected, so handles work only inside a connection.
  HandleTable files_;
  std::uint64_t bytes_read_ = 0;
  std::uint64_t bytes_written_ = 0;
  std::uint64_t deletes_ = 0;
  std::uint32_t last_error_ = 0;
  std::atomic<bool> dropped_{false};
  // Set to end a read or write that hangs.
  HostEvent released_;
  CallLog log_;
};

}  // namespace sim
