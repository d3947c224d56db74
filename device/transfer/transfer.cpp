#include "device/transfer/transfer.h"

#include <array>
#include <cstddef>
#include <exception>

#include "device/transfer/copy_failure.h"
#include "device/transfer/device_file.h"
#include "device/transfer/device_target.h"
#include "device/transfer/remote_connection.h"
#include "platform/local_file.h"

namespace {

constexpr std::size_t kChunkSize = 10240;
using ChunkBuffer = std::array<unsigned char, kChunkSize>;

// Whatever a transfer needs must be there before the device is touched, so a
// library without one of them never leaves a half-done copy.
void RequireCommonEntries(const TRAPI& api) {
  api.CeRapiInit.Require();
  api.CeRapiUninit.Require();
  api.CeCreateFile.Require();
  api.CeCloseHandle.Require();
}

template <typename Copy>
bool Guarded(Copy copy) {
  try {
    copy();
    return true;
  } catch (const std::exception& failure) {
    ReportFailure(failure.what());
  } catch (...) {
    ReportFailure("unexpected failure");
  }
  return false;
}

}  // namespace

bool DownloadFile(const TRAPI& api, const std::string& source, const std::string& target) {
  ChunkBuffer buffer;
  return Guarded([&] {
    RemoteConnection connection(api);
    platform::LocalTarget local(target);
    RequireCommonEntries(api);
    api.CeReadFile.Require();
    connection.Open();
    DeviceFile device(api, source, kRapiOpenAlways, Quoted(source));
    for (;;) {
      const std::size_t count = device.Read(buffer.data(), buffer.size());
      if (count == 0) break;
      local.Write(buffer.data(), count);
    }
    device.Close();
    local.Commit();
    connection.Close();
  });
}

bool UploadFile(const TRAPI& api, const std::string& source, const std::string& target) {
  ChunkBuffer buffer;
  return Guarded([&] {
    RemoteConnection connection(api);
    platform::LocalSource local(source);
    RequireCommonEntries(api);
    api.CeWriteFile.Require();
    connection.Open();
    DeviceTarget device(api, target);
    for (;;) {
      const std::size_t count = local.Read(buffer.data(), buffer.size());
      if (count == 0) break;
      device.Write(buffer.data(), count);
    }
    device.Commit();
    local.Close();
    connection.Close();
  });
}
