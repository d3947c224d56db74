#include "sim/device_path.h"

#include "sim/utf16.h"

namespace sim {
namespace {

constexpr char16_t kSeparator = u'\\';

// Characters no Windows file name may hold; '/' and ':' also keep a component
// from being read as a host path of its own.
bool IsForbidden(char16_t unit) {
  return unit < 0x20 || std::u16string_view(u"<>:\"/|?*").find(unit) != std::u16string_view::npos;
}

bool IsValidComponent(std::u16string_view component) {
  if (component.empty() || component == u"." || component == u"..") return false;
  for (const char16_t unit : component) {
    if (IsForbidden(unit)) return false;
  }
  return !HasUnpairedSurrogate(component);
}

}  // namespace

std::optional<HostPath> MapDevicePath(const HostPath& root, std::u16string_view device_path) {
  if (device_path.empty() || device_path.front() != kSeparator) return std::nullopt;
  HostPath path = root;
  std::u16string_view rest = device_path.substr(1);
  while (true) {
    const std::size_t end = rest.find(kSeparator);
    const std::u16string_view component = rest.substr(0, end);
    if (!IsValidComponent(component)) return std::nullopt;
    AppendHostComponent(path, component);
    if (end == std::u16string_view::npos) return path;
    rest.remove_prefix(end + 1);
  }
}

}  // namespace sim
