#include "app/language.h"

#include "app/lower_case.h"

namespace {

constexpr std::uint16_t kPrimaryLanguageMask = 0x3FF;
constexpr std::uint16_t kPolishPrimaryLanguage = 0x15;

bool NamesPolish(const std::string& locale) { return LowerCase(locale).rfind("pl", 0) == 0; }

}  // namespace

Language ChooseLanguage(const std::optional<std::string>& chosen,
                        const platform::UserLocale& locale) {
  if (chosen) {
    const std::string name = LowerCase(*chosen);
    if (name == "pl") return Language::kPolish;
    if (name == "en") return Language::kEnglish;
  }
  if (locale.ui_language) {
    return (*locale.ui_language & kPrimaryLanguageMask) == kPolishPrimaryLanguage
               ? Language::kPolish
               : Language::kEnglish;
  }
  for (const auto* variable : {&locale.lc_all, &locale.lc_messages, &locale.lang}) {
    if (*variable) return NamesPolish(**variable) ? Language::kPolish : Language::kEnglish;
  }
  return Language::kEnglish;
}

platform::SystemTextLanguage SystemTextsFor(Language run, const platform::UserLocale& locale) {
  return run == Language::kPolish && ChooseLanguage(std::nullopt, locale) == Language::kPolish
             ? platform::SystemTextLanguage::kUsers
             : platform::SystemTextLanguage::kEnglish;
}
