#include "sim/settings.h"

#include <limits>
#include <string_view>

#include "device/remote_api/remote_entries.h"

namespace sim {
namespace {

std::optional<std::uint64_t> ParseCount(const HostPath& text) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t value = 0;
  for (const auto character : text) {
    if (character < '0' || character > '9') return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(character - '0');
    if (value > (kMax - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

// An HRESULT as its bits: 0x and up to eight hex digits, or a decimal number.
std::optional<std::int32_t> ParseResult(const HostPath& text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    if (text.size() > 10) return std::nullopt;
    std::uint32_t bits = 0;
    for (std::size_t at = 2; at < text.size(); ++at) {
      const auto character = text[at];
      std::uint32_t digit = 0;
      if (character >= '0' && character <= '9') {
        digit = static_cast<std::uint32_t>(character - '0');
      } else if (character >= 'a' && character <= 'f') {
        digit = static_cast<std::uint32_t>(character - 'a' + 10);
      } else if (character >= 'A' && character <= 'F') {
        digit = static_cast<std::uint32_t>(character - 'A' + 10);
      } else {
        return std::nullopt;
      }
      bits = bits << 4U | digit;
    }
    return static_cast<std::int32_t>(bits);
  }
  const std::optional<std::uint64_t> value = ParseCount(text);
  if (!value || *value > 0xFFFFFFFFU) return std::nullopt;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(*value));
}

#define FILECOPY_SIM_ENTRY_NAME(name, result, parameters) #name,
constexpr std::string_view kEntryNames[] = {FILECOPY_REMOTE_ENTRIES(FILECOPY_SIM_ENTRY_NAME)};
#undef FILECOPY_SIM_ENTRY_NAME

// "CeDeleteFile:2500": an entry the program binds, a colon, the delay.
std::optional<LateAnswer> ParseLateAnswer(const HostPath& text) {
  const std::size_t colon = text.find(':');
  if (colon == HostPath::npos) return std::nullopt;
  const std::optional<std::uint64_t> delay = ParseCount(text.substr(colon + 1));
  if (!delay || colon + 1 == text.size()) return std::nullopt;
  std::string entry;
  for (std::size_t at = 0; at < colon; ++at) {
    if (text[at] < 0x20 || text[at] > 0x7E) return std::nullopt;
    entry += static_cast<char>(text[at]);
  }
  for (const std::string_view name : kEntryNames) {
    if (name == entry) return LateAnswer{entry, *delay};
  }
  return std::nullopt;
}

class Reader {
 public:
  explicit Reader(bool& well_formed) : well_formed_(well_formed) {}

  std::optional<std::uint64_t> Count(const char* name) {
    const std::optional<HostPath> text = HostEnvironment(name);
    if (!text) return std::nullopt;
    const std::optional<std::uint64_t> count = ParseCount(*text);
    if (!count) well_formed_ = false;
    return count;
  }

  std::optional<std::int32_t> Result(const char* name) {
    const std::optional<HostPath> text = HostEnvironment(name);
    if (!text) return std::nullopt;
    const std::optional<std::int32_t> result = ParseResult(*text);
    if (!result) well_formed_ = false;
    return result;
  }

  std::optional<std::uint32_t> Code(const char* name) {
    const std::optional<std::uint64_t> value = Count(name);
    if (value && *value > 0xFFFFFFFFU) well_formed_ = false;
    if (!value || *value > 0xFFFFFFFFU) return std::nullopt;
    return static_cast<std::uint32_t>(*value);
  }

  std::optional<LateAnswer> Late(const char* name) {
    const std::optional<HostPath> text = HostEnvironment(name);
    if (!text) return std::nullopt;
    std::optional<LateAnswer> late = ParseLateAnswer(*text);
    if (!late) well_formed_ = false;
    return late;
  }

  bool Flag(const char* name) {
    const std::optional<std::uint64_t> value = Count(name);
    if (value && *value > 1) well_formed_ = false;
    return value == 1U;
  }

 private:
  bool& well_formed_;
};

}  // namespace

Settings ReadSettings() {
  Settings settings;
  Reader reader(settings.well_formed);
  settings.root = HostEnvironment("FILECOPY_SIM_ROOT");
  settings.log = HostEnvironment("FILECOPY_SIM_LOG");
  settings.fail_connect = reader.Flag("FILECOPY_SIM_FAIL_CONNECT");
  settings.connect_result = reader.Result("FILECOPY_SIM_CONNECT_RESULT");
  settings.fail_open = reader.Flag("FILECOPY_SIM_FAIL_OPEN");
  settings.device_error = reader.Code("FILECOPY_SIM_DEVICE_ERROR");
  settings.fail_close = reader.Flag("FILECOPY_SIM_FAIL_CLOSE");
  settings.fail_delete = reader.Flag("FILECOPY_SIM_FAIL_DELETE");
  settings.fail_move = reader.Flag("FILECOPY_SIM_FAIL_MOVE");
  settings.fail_read_after = reader.Count("FILECOPY_SIM_FAIL_READ_AFTER");
  settings.fail_write_after = reader.Count("FILECOPY_SIM_FAIL_WRITE_AFTER");
  settings.short_write_after = reader.Count("FILECOPY_SIM_SHORT_WRITE_AFTER");
  settings.drop_after = reader.Count("FILECOPY_SIM_DROP_AFTER");
  settings.hang_after = reader.Count("FILECOPY_SIM_HANG_AFTER");
  settings.connect_delay_ms = reader.Count("FILECOPY_SIM_CONNECT_DELAY_MS").value_or(0);
  settings.no_device = reader.Flag("FILECOPY_SIM_NO_DEVICE");
  settings.call_delay_ms = reader.Count("FILECOPY_SIM_CALL_DELAY_MS").value_or(0);
  settings.late_answer = reader.Late("FILECOPY_SIM_LATE_ANSWER");
  return settings;
}

}  // namespace sim
