#include "sim/settings.h"

#include <limits>

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
  settings.fail_open = reader.Flag("FILECOPY_SIM_FAIL_OPEN");
  settings.fail_close = reader.Flag("FILECOPY_SIM_FAIL_CLOSE");
  settings.fail_delete = reader.Flag("FILECOPY_SIM_FAIL_DELETE");
  settings.fail_move = reader.Flag("FILECOPY_SIM_FAIL_MOVE");
  settings.fail_read_after = reader.Count("FILECOPY_SIM_FAIL_READ_AFTER");
  settings.fail_write_after = reader.Count("FILECOPY_SIM_FAIL_WRITE_AFTER");
  settings.short_write_after = reader.Count("FILECOPY_SIM_SHORT_WRITE_AFTER");
  settings.connect_delay_ms = reader.Count("FILECOPY_SIM_CONNECT_DELAY_MS").value_or(0);
  settings.no_device = reader.Flag("FILECOPY_SIM_NO_DEVICE");
  settings.call_delay_ms = reader.Count("FILECOPY_SIM_CALL_DELAY_MS").value_or(0);
  return settings;
}

}  // namespace sim
