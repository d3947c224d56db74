#include "device/transfer/device_file.h"

#include <utility>

#include "device/transfer/copy_failure.h"
#include "device/transfer/remote_failure.h"
#include "platform/unicode.h"

std::vector<RapiChar> DevicePathText(const std::string& path) {
  const std::u16string text = platform::Utf8ToUtf16(path);
  std::vector<RapiChar> result(text.begin(), text.end());
  result.push_back(0);
  return result;
}

DeviceFile::DeviceFile(const TRAPI& api, const std::string& path, RapiDword disposition,
                       std::string name)
    : api_(api), name_(std::move(name)) {
  const std::vector<RapiChar> text = DevicePathText(path);
  handle_ = api_.CeCreateFile(text.data(), kRapiGenericRead | kRapiGenericWrite, 0, nullptr,
                              disposition, kRapiFileAttributeNormal, RapiHandle{});
  if (handle_ == kRapiInvalidHandle) {
    ThrowFailedCall(api_, api_.CeCreateFile.name(), Text::kDeviceOpen, name_,
                    Say(Text::kDeviceRefusedOpen));
  }
  open_ = true;
}

DeviceFile::~DeviceFile() {
  if (open_ && api_.CeCloseHandle) api_.CeCloseHandle(handle_);
}

std::size_t DeviceFile::Read(void* buffer, std::size_t size) {
  RapiDword count = 0;
  const RapiBool result =
      api_.CeReadFile(handle_, buffer, static_cast<RapiDword>(size), &count, nullptr);
  // Only exactly 1 means success; a count of 0 then marks the end of the file.
  if (result != 1) {
    ThrowFailedCall(api_, api_.CeReadFile.name(), Text::kDeviceRead, name_,
                    Say(Text::kDeviceReadFailed));
  }
  if (count > size) {
    ThrowDeviceFailure(
        Text::kDeviceRead, name_,
        Say(Text::kDeviceReadTooMuch, {std::to_string(count), std::to_string(size)}));
  }
  return count;
}

void DeviceFile::Write(const void* data, std::size_t size) {
  RapiDword count = 0;
  if (!api_.CeWriteFile(handle_, data, static_cast<RapiDword>(size), &count, nullptr)) {
    ThrowFailedCall(api_, api_.CeWriteFile.name(), Text::kDeviceWrite, name_,
                    Say(Text::kDeviceWriteFailed));
  }
  if (count != size) {
    ThrowDeviceFailure(Text::kDeviceWrite, name_,
                       Say(Text::kDeviceStoredLess, {std::to_string(count), std::to_string(size)}));
  }
}

// All ones is also how a failure is told, which only CeGetLastError would
// tell apart from a size that happens to be that: taken as unknown, as the
// size only feeds the progress line.
std::optional<std::uint64_t> DeviceFile::Size() const {
  if (!api_.CeGetFileSize) return std::nullopt;
  RapiDword high = 0;
  const RapiDword low = api_.CeGetFileSize(handle_, &high);
  if (low == 0xFFFFFFFFU) return std::nullopt;
  return (std::uint64_t{high} << 32U) | low;
}

void DeviceFile::Close() {
  open_ = false;
  if (!api_.CeCloseHandle(handle_)) {
    ThrowFailedCall(api_, api_.CeCloseHandle.name(), Text::kDeviceClose, name_,
                    Say(Text::kDeviceCloseFailed));
  }
}
