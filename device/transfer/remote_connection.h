#pragma once

#include <cstdio>
#include <string>

#include "device/remote_api/trapi.h"
#include "device/transfer/copy_failure.h"

// The connection to the device. It is declared before the local file but
// opened after it, so that it is also closed after it.
class RemoteConnection {
 public:
  explicit RemoteConnection(const TRAPI& api) : api_(api) {}
  ~RemoteConnection() {
    if (open_ && api_.CeRapiUninit) api_.CeRapiUninit();
  }
  RemoteConnection(const RemoteConnection&) = delete;
  RemoteConnection& operator=(const RemoteConnection&) = delete;

  void Open() {
    const RapiResult result = api_.CeRapiInit();
    if (!RapiSucceeded(result)) {
      char code[16];
      std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(result));
      throw CopyFailure(std::string("cannot connect to the device: CeRapiInit returned ") + code);
    }
    open_ = true;
  }

  // The result of closing is of no use: the copy is complete by then.
  void Close() {
    open_ = false;
    api_.CeRapiUninit();
  }

 private:
  const TRAPI& api_;
  bool open_ = false;
};
