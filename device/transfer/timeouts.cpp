#include "device/transfer/timeouts.h"

#include <string>

#include "device/transfer/copy_failure.h"
#include "platform/environment.h"

namespace {

constexpr long kLongest = 86400;
// No ten-kilobyte chunk takes a minute on any link the remote API runs over.
constexpr std::chrono::seconds kCallDefault{60};

std::optional<std::chrono::seconds> Seconds(const char* variable) {
  const std::optional<std::string> text = platform::EnvironmentVariable(variable);
  if (!text) return std::nullopt;
  long seconds = 0;
  bool valid = text->size() <= 5;
  for (const char c : *text) {
    valid = valid && c >= '0' && c <= '9';
    if (valid) seconds = seconds * 10 + (c - '0');
  }
  if (!valid || seconds < 1 || seconds > kLongest) {
    throw CopyFailure(Say(Text::kBadTimeout, {variable, *text, std::to_string(kLongest)}));
  }
  return std::chrono::seconds(seconds);
}

}  // namespace

std::optional<std::chrono::seconds> ConnectTimeout() { return Seconds("FILECOPY_CONNECT_TIMEOUT"); }

std::chrono::seconds CallTimeout() {
  return Seconds("FILECOPY_CALL_TIMEOUT").value_or(kCallDefault);
}
