#include "local/temporary_name.h"

#include <algorithm>
#include <cstdint>
#include <random>

#include "local/file_rules.h"
#include "platform/local_file.h"
#include "platform/monotonic_clock.h"

namespace {

constexpr std::string_view kInfix = ".filecopy-";
constexpr std::size_t kRandomLength = 6;
// Lower case only: Windows does not tell "A" from "a" in a name.
constexpr std::string_view kDrawnFrom = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr std::string_view kHexDigits = "0123456789abcdef";
// "~" and eight hex digits, after a name that was cut.
constexpr std::size_t kMarkLength = 9;

bool IsLetterOrDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The bytes of the UTF-8 sequence a byte begins; a stray byte stands alone.
std::size_t SequenceLength(char lead) {
  const auto byte = static_cast<unsigned char>(lead);
  if (byte >= 0xF0U) return 4;
  if (byte >= 0xE0U) return 3;
  if (byte >= 0xC0U) return 2;
  return 1;
}

// What a sequence counts for: its bytes, or its UTF-16 units (two for a
// character beyond the first 65,536, a surrogate pair).
std::size_t UnitsOf(std::size_t sequence_length, NameLimit limit) {
  if (!limit.in_utf16_units) return sequence_length;
  return sequence_length == 4 ? 2 : 1;
}

// FNV-1a: stable across runs and builds, which is all the mark needs.
std::uint32_t NameHash(std::string_view name) {
  std::uint32_t hash = 2166136261U;
  for (const char c : name) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619U;
  }
  return hash;
}

// The part of a temporary name that comes from its target's name: the whole
// name where the rest fits after it, otherwise as much of it as fits, marked.
std::string Stem(std::string_view target_name, NameLimit limit) {
  const std::size_t added = kInfix.size() + kRandomLength;
  const std::size_t room =
      limit.longest > added + kMarkLength ? limit.longest - added - kMarkLength : 0;
  std::size_t units = 0;
  std::size_t kept = 0;  // the whole characters that fit beside the mark
  for (std::size_t at = 0; at < target_name.size();) {
    const std::size_t length = std::min(SequenceLength(target_name[at]), target_name.size() - at);
    units += UnitsOf(length, limit);
    at += length;
    if (units <= room) kept = at;
  }
  if (units + added <= limit.longest) return std::string(target_name);
  std::string stem(target_name.substr(0, kept));
  stem += '~';
  const std::uint32_t hash = NameHash(target_name);
  for (int shift = 28; shift >= 0; shift -= 4) stem += kHexDigits[(hash >> shift) & 0xFU];
  return stem;
}

}  // namespace

std::string TemporaryPathFor(const std::string& target, NameLimit limit) {
  // The clock as well, where the runtime's random device is no more than a fixed sequence.
  static std::mt19937 generator(
      std::random_device{}() ^
      static_cast<unsigned>(platform::MonotonicClock::now().time_since_epoch().count()));
  std::uniform_int_distribution<std::size_t> pick(0, kDrawnFrom.size() - 1);
  const std::size_t name_start = FileNameStart(target, platform::kPathSeparators);
  std::string path =
      target.substr(0, name_start) + Stem(std::string_view(target).substr(name_start), limit);
  path += kInfix;
  for (std::size_t i = 0; i < kRandomLength; ++i) path += kDrawnFrom[pick(generator)];
  return path;
}

bool IsTemporaryNameOf(std::string_view name, std::string_view target_name, NameLimit limit) {
  if (target_name.empty()) return false;
  const std::string stem = Stem(target_name, limit) + std::string(kInfix);
  if (name.size() != stem.size() + kRandomLength || name.substr(0, stem.size()) != stem) {
    return false;
  }
  for (const char c : name.substr(stem.size())) {
    if (!IsLetterOrDigit(c)) return false;
  }
  return true;
}
