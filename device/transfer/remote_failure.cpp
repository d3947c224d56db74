#include "device/transfer/remote_failure.h"

#include <cstdio>
#include <optional>

#include "device/transfer/copy_failure.h"
#include "platform/system_error.h"

namespace {

std::optional<Text> OwnWordsFor(RapiDword code) {
  switch (code) {
    case 2: return Text::kDeviceFileNotFound;
    case 3: return Text::kDeviceNoTarvelFolder;
    case 5: return Text::kDeviceAccessDenied;
    case 32: return Text::kDeviceFileInUse;
    case 112: return Text::kDeviceStorageFull;
    default: return std::nullopt;
  }
}

// The program's words, else the system's sentence without its full stop, as
// the number follows it.
std::optional<std::string> WordsFor(RapiDword code) {
  if (const std::optional<Text> own = OwnWordsFor(code)) return Say(*own);
  const std::optional<std::string> text = platform::Win32ErrorText(code);
  if (!text || WithoutFullStop(*text).empty()) return std::nullopt;
  return WithoutFullStop(*text);
}

// The same in every language, so that it can be searched for.
std::string WithNumber(const std::string& reason, RapiDword code) {
  return reason + " (device error " + std::to_string(code) + ")";
}

std::string DeviceReason(RapiDword code, const std::string& otherwise) {
  if (code == 0) return otherwise;
  return WithNumber(WordsFor(code).value_or(otherwise), code);
}

}  // namespace

std::string ResultText(RapiResult result) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(result));
  return text;
}

void ThrowFailedCall(const TRAPI& api, const char* entry, Text step, const std::string& file,
                     const std::string& otherwise, bool explained) {
  if (!api.CeRapiGetError) ThrowDeviceFailure(step, file, otherwise);
  const RapiResult link = api.CeRapiGetError();
  if (!RapiSucceeded(link)) {
    throw ConnectionFailure(
        Say(step, {file, Say(Text::kConnectionLost, {entry, ResultText(link)})}));
  }
  if (!api.CeGetLastError) ThrowDeviceFailure(step, file, otherwise);
  const RapiDword code = api.CeGetLastError();
  if (!explained || code == 0) ThrowDeviceFailure(step, file, DeviceReason(code, otherwise));
  const std::optional<std::string> words = WordsFor(code);
  ThrowDeviceFailure(step, file, WithNumber(words ? otherwise + ": " + *words : otherwise, code));
}
