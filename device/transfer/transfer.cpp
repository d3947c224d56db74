#include "device/transfer/transfer.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>

#include "device/transfer/copy_failure.h"
#include "device/transfer/copy_progress.h"
#include "device/transfer/device_file.h"
#include "device/transfer/device_target.h"
#include "device/transfer/new_content.h"
#include "device/transfer/remote_connection.h"
#include "device/transfer/timeouts.h"
#include "local/local_source.h"
#include "local/local_target.h"
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

CopyOutcome ReportStopped(Text line) {
  ReportStop(Say(line));
  return CopyOutcome::kStopped;
}

// A stop is no failure: the person asked for it, so no window. A call that a
// stop's signal cut short fails because of the stop, so a stop requested by
// then wins over the failure that follows it. Its line says whether the new
// content was in place by then. copy returns the bytes copied.
template <typename Copy>
CopyOutcome Guarded(const NewContent& content, Copy copy) {
  const auto stopped = [&content] {
    return ReportStopped(content.place() == NewContent::Place::kInPlace
                             ? Text::kStoppedAfterComplete
                             : Text::kStoppedBeforeComplete);
  };
  const auto failed = [&stopped](const std::string& description, CopyOutcome outcome,
                                 const std::optional<std::string>& advice = std::nullopt) {
    if (platform::StopRequested()) return stopped();
    ReportFailure(outcome, description, advice);
    return outcome;
  };
  std::uint64_t bytes = 0;
  try {
    bytes = copy();
  } catch (const platform::Stopped&) {
    return stopped();
  } catch (const FileFailure& failure) {
    return failed(Describe(failure), CopyOutcome::kFailed);
  } catch (const ConnectionFailure& failure) {
    return failed(failure.what(), CopyOutcome::kNoDevice, failure.advice());
  } catch (const std::exception& failure) {
    return failed(failure.what(), CopyOutcome::kFailed);
  } catch (...) {
    return failed(Say(Text::kUnexpectedFailure), CopyOutcome::kFailed);
  }
  if (platform::StopRequested()) return stopped();
  RecordEnd({CopyOutcome::kCopied, {}, bytes});
  return CopyOutcome::kCopied;
}

}  // namespace

CopyOutcome DownloadFile(const TRAPI& api, const std::string& source, const std::string& target) {
  ChunkBuffer buffer;
  NewContent content;
  return Guarded(content, [&] {
    RemoteConnection connection(api, ConnectTimeout(), CallTimeout(), content);
    LocalTarget local(target);
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
    local.Commit([&content] { content.Set(NewContent::Place::kInPlace); });
    connection.Close();
    return progress.copied();
  });
}

CopyOutcome UploadFile(const TRAPI& api, const std::string& source, const std::string& target) {
  ChunkBuffer buffer;
  NewContent content;
  return Guarded(content, [&] {
    RemoteConnection connection(api, ConnectTimeout(), CallTimeout(), content);
    LocalSource local(source);
    RequireCommonEntries(api);
    api.CeWriteFile.Require();
    connection.Open();
    DeviceTarget device(api, target, content);
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
    return progress.copied();
  });
}
