#include "device/transfer/connect_timeout.h"

#include <string>

#include "device/transfer/copy_failure.h"
#include "platform/environment.h"

namespace {

constexpr const char* kVariable = "FILECOPY_CONNECT_TIMEOUT";
constexpr long kLongest = 86400;

}  // namespace

std::optional<std::chrono::seconds> ConnectTimeout() {
  const std::optional<std::string> text = platform::EnvironmentVariable(kVariable);
  if (!text) return std::nullopt;
  long seconds = 0;
  bool valid = text->size() <= 5;
  for (const char c : *text) {
    valid = valid && c >= '0' && c <= '9';
    if (valid) seconds = seconds * 10 + (c - '0');
  }
  if (!valid || seconds < 1 || seconds > kLongest) {
    throw CopyFailure(Say(Text::kBadConnectTimeout, {*text, std::to_string(kLongest)}));
  }
  return std::chrono::seconds(seconds);
}
