#include "sim/utf16.h"

namespace sim {
namespace {

bool IsLead(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsTrail(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

bool HasUnpairedSurrogate(std::u16string_view text) {
  for (std::size_t index = 0; index < text.size(); ++index) {
    if (IsLead(text[index]) && index + 1 < text.size() && IsTrail(text[index + 1])) {
      ++index;
    } else if (IsLead(text[index]) || IsTrail(text[index])) {
      return true;
    }
  }
  return false;
}

}  // namespace sim
