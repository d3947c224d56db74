#pragma once

#include <chrono>
#include <optional>

#include "device/remote_api/trapi.h"
#include "platform/stop.h"

// The connection to the device. It is declared before the local file but
// opened after it, so that it is also closed after it. Failing to connect
// throws ConnectionFailure; a stop meanwhile throws platform::Stopped.
class RemoteConnection {
 public:
  // bound: how long to wait for a device, where the library lets the wait end
  // (CeRapiInitEx); nothing: as long as it takes.
  RemoteConnection(const TRAPI& api, std::optional<std::chrono::seconds> bound)
      : api_(api), bound_(bound) {}
  ~RemoteConnection() {
    if (open_ && api_.CeRapiUninit) api_.CeRapiUninit();
  }
  RemoteConnection(const RemoteConnection&) = delete;
  RemoteConnection& operator=(const RemoteConnection&) = delete;

  void Open();

  // The result of closing is of no use: the copy is complete by then.
  void Close() {
    open_ = false;
    api_.CeRapiUninit();
  }

 private:
  void OpenWaitingForEvent();
  void OpenBlocking();
  platform::EventWait WaitForDevice(platform::NativeEvent event) const;
  static void Interrupt(void* connection);

  const TRAPI& api_;
  std::optional<std::chrono::seconds> bound_;
  bool open_ = false;
};
