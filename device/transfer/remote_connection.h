#pragma once

#include <chrono>
#include <optional>

#include "device/remote_api/trapi.h"
#include "device/transfer/call_watchdog.h"
#include "device/transfer/new_content.h"
#include "platform/stop.h"

// The connection to the device. It is declared before the local file but
// opened after it, so that it is also closed after it. Failing to connect
// throws ConnectionFailure, with a line of advice where there is one; a stop
// meanwhile throws platform::Stopped. Once made, every remote call is watched
// (CallWatchdog) until the object goes.
class RemoteConnection {
 public:
  // bound: how long to wait for a device, where the library lets the wait end
  // (CeRapiInitEx); nothing: as long as it takes. call_bound: how long any
  // call may take once connected. content: where the copy's new content is.
  RemoteConnection(const TRAPI& api, std::optional<std::chrono::seconds> bound,
                   std::chrono::seconds call_bound, const NewContent& content)
      : api_(api), bound_(bound), call_bound_(call_bound), content_(content) {}
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
  std::chrono::seconds call_bound_;
  const NewContent& content_;
  bool open_ = false;
  // Declared last, so it watches the closing calls too.
  std::optional<CallWatchdog> watchdog_;
};
