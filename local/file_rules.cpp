#include "local/file_rules.h"

namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

bool IsWindowsDeviceName(std::string_view name) {
  std::string stem;
  for (const char c : name.substr(0, name.find('.'))) stem += Upper(c);
  // The system ignores blanks at the end of a name, and before its extension.
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  if (stem == "NUL" || stem == "CON" || stem == "PRN" || stem == "AUX") return true;
  if (stem.compare(0, 3, "COM") != 0 && stem.compare(0, 3, "LPT") != 0) return false;
  const std::string number = stem.substr(3);
  // Windows takes the superscript digits one to three (UTF-8) for 1 to 3.
  return (number.size() == 1 && number[0] >= '1' && number[0] <= '9') || number == "\xC2\xB9" ||
         number == "\xC2\xB2" || number == "\xC2\xB3";
}

std::size_t FileNameStart(std::string_view path, std::string_view separators) {
  const std::size_t last = path.find_last_of(separators);
  return last == std::string_view::npos ? 0 : last + 1;
}

TargetRule RuleFor(const platform::PathFacts& facts) {
  switch (facts.type) {
    case platform::FileType::kMissing:
      return facts.link ? TargetRule::kDanglingLink : TargetRule::kCreate;
    case platform::FileType::kRegular:
    case platform::FileType::kUnknown:
      return facts.link && facts.target.empty() ? TargetRule::kUnresolvedLink
                                                : TargetRule::kReplace;
    case platform::FileType::kFolder:
    case platform::FileType::kOther: break;
  }
  return TargetRule::kNotARegularFile;
}
