#include "local/temporary_name.h"

#include <random>

#include "platform/monotonic_clock.h"

namespace {

constexpr std::string_view kInfix = ".filecopy-";
constexpr std::size_t kRandomLength = 6;
// Lower case only: Windows does not tell "A" from "a" in a name.
constexpr std::string_view kDrawnFrom = "0123456789abcdefghijklmnopqrstuvwxyz";

bool IsLetterOrDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

std::string TemporaryPathFor(const std::string& target) {
  // The clock as well, where the runtime's random device is no more than a fixed sequence.
  static std::mt19937 generator(
      std::random_device{}() ^
      static_cast<unsigned>(platform::MonotonicClock::now().time_since_epoch().count()));
  std::uniform_int_distribution<std::size_t> pick(0, kDrawnFrom.size() - 1);
  std::string path = target + std::string(kInfix);
  for (std::size_t i = 0; i < kRandomLength; ++i) path += kDrawnFrom[pick(generator)];
  return path;
}

bool IsTemporaryNameOf(std::string_view name, std::string_view target_name) {
  const std::size_t stem = target_name.size() + kInfix.size();
  if (target_name.empty() || name.size() != stem + kRandomLength ||
      name.substr(0, target_name.size()) != target_name ||
      name.substr(target_name.size(), kInfix.size()) != kInfix) {
    return false;
  }
  for (const char c : name.substr(stem)) {
    if (!IsLetterOrDigit(c)) return false;
  }
  return true;
}
