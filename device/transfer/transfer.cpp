#include "device/transfer/transfer.h"

#include <array>
#include <cstddef>
#include <exception>

#include "device/transfer/copy_failure.h"
#include "device/transfer/copy_progress.h"
#include "device/transfer/device_file.h"
#include "device/transfer/device_target.h"
#include "device/transfer/remote_connection.h"
#include "device/transfer/timeouts.h"
#include "platform/console.h"
#include "platform/local_file.h"
#include "platform/stop.h"

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

// A stop is no failure: the person asked for it, so no window.
template <typename Copy>
CopyOutcome Guarded(Copy copy) {
  try {
    copy();
  } catch (const platform::Stopped&) {
    platform::WriteErrorLine(ProgramLine(Say(Text::kStoppedBeforeComplete)));
    return CopyOutcome::kStopped;
  } catch (const platform::FileFailure& failure) {
    ReportFailure(Describe(failure));
    return CopyOutcome::kFailed;
  } catch (const ConnectionFailure& failure) {
    ReportFailure(failure.what(), failure.advice());
    return CopyOutcome::kNoDevice;
  } catch (const std::exception& failure) {
    ReportFailure(failure.what());
    return CopyOutcome::kFailed;
  } catch (...) {
    ReportFailure(Say(Text::kUnexpectedFailure));
    return CopyOutcome::kFailed;
  }
  if (platform::StopRequested()) {
    platform::WriteErrorLine(ProgramLine(Say(Text::kStoppedAfterComplete)));
    return CopyOutcome::kStopped;
  }
  return CopyOutcome::kCopied;
}

}  // namespace

CopyOutcome DownloadFile(const TRAPI& api, const std::string& source, const std::string& target) {
  ChunkBuffer buffer;
  return Guarded([&] {
    RemoteConnection connection(api, ConnectTimeout(), CallTimeout());
    platform::LocalTarget local(target);
    RequireCommonEntries(api);
    api.CeReadFile.Require();
    connection.Open();
    DeviceFile device(api, source, kRapiOpenAlways, Quoted(source));
    CopyProgress progress([&] { return device.Size(); });
    for (;;) {
      platform::ThrowIfStopRequested();
      const std::size_t count = device.Read(buffer.data(), buffer.size());
      if (count == 0) break;
      local.Write(buffer.data(), count);
      progress.Advance(count);
    }
    device.Close();
    local.Commit();
    connection.Close();
  });
}

CopyOutcome UploadFile(const TRAPI& api, const std::string& source, const std::string& target) {
  ChunkBuffer buffer;
  return Guarded([&] {
    RemoteConnection connection(api, ConnectTimeout(), CallTimeout());
    platform::LocalSource local(source);
    RequireCommonEntries(api);
    api.CeWriteFile.Require();
    connection.Open();
    DeviceTarget device(api, target);
    CopyProgress progress([&] { return local.Size(); });
    for (;;) {
      platform::ThrowIfStopRequested();
      const std::size_t count = local.Read(buffer.data(), buffer.size());
      if (count == 0) break;
      device.Write(buffer.data(), count);
      progress.Advance(count);
    }
    device.Commit();
    local.Close();
    connection.Close();
  });
}
