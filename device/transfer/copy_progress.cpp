#include "device/transfer/copy_progress.h"

#include <utility>

#include "texts/texts.h"

namespace {

constexpr std::chrono::seconds kQuietStart{1};
constexpr std::chrono::milliseconds kUpdateEvery{250};

// Digits in groups of three, as each language writes them: "1 048 576" in
// Polish, "1,048,576" in English.
std::string Grouped(std::uint64_t value) {
  const char* separator = CurrentLanguage() == Language::kPolish ? " " : ",";
  std::string digits = std::to_string(value);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, separator);
  return digits;
}

}  // namespace

CopyProgress::CopyProgress(SizeQuery size) : size_query_(std::move(size)) {
  // Without anyone to show it to, not even the clock is read.
  if (line_.shown_to_someone()) next_update_ = Clock::now() + kQuietStart;
}

void CopyProgress::Advance(std::size_t bytes) {
  copied_ += bytes;
  if (!line_.shown_to_someone()) return;
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
  if (size && *size >= copied && *size > 0) {
    return Say(Text::kCopiedOf,
               {Grouped(copied), Grouped(*size), std::to_string(copied * 100 / *size)});
  }
  return Say(Text::kCopied, {Grouped(copied)});
}
