#include "device/transfer/copy_progress.h"

#include <utility>

namespace {

constexpr std::chrono::seconds kQuietStart{1};
constexpr std::chrono::milliseconds kUpdateEvery{250};

// Digits in groups of three, as Polish writes them: "1 048 576".
std::string Grouped(std::uint64_t value) {
  std::string digits = std::to_string(value);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, " ");
  return digits;
}

}  // namespace

CopyProgress::CopyProgress(SizeQuery size) : size_query_(std::move(size)) {
  // Without anyone to show it to, not even the clock is read.
  if (line_.shown_to_someone()) next_update_ = Clock::now() + kQuietStart;
}

void CopyProgress::Advance(std::size_t bytes) {
  if (!line_.shown_to_someone()) return;
  copied_ += bytes;
  const Clock::time_point now = Clock::now();
  if (now < next_update_) return;
  next_update_ = now + kUpdateEvery;
  if (!size_asked_) {
    size_asked_ = true;
    size_ = size_query_();
  }
  line_.Show(ProgressText(copied_, size_));
}

std::string ProgressText(std::uint64_t copied, std::optional<std::uint64_t> size) {
  std::string text = "Skopiowano " + Grouped(copied);
  if (size && *size >= copied && *size > 0) {
    text += " z " + Grouped(*size) + " bajtow (" + std::to_string(copied * 100 / *size) + "%)";
  } else {
    text += " bajtow";
  }
  return text;
}
