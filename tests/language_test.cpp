// Which language a run speaks, and the table of the program's texts.
#include "app/language.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>

#include "texts/texts.h"

namespace {

using Locale = platform::UserLocale;
constexpr Language kPl = Language::kPolish;
constexpr Language kEn = Language::kEnglish;

Locale Windows(std::uint16_t ui_language) {
  Locale locale;
  locale.ui_language = ui_language;
  return locale;
}

Locale Posix(std::optional<std::string> lc_all, std::optional<std::string> lc_messages,
             std::optional<std::string> lang) {
  return {std::nullopt, std::move(lc_all), std::move(lc_messages), std::move(lang)};
}

struct LanguageCase {
  const char* name;
  std::optional<std::string> chosen;  // FILECOPY_LANGUAGE
  Locale locale;
  Language expected;
};

std::ostream& operator<<(std::ostream& out, const LanguageCase& test) { return out << test.name; }

class LanguageChoice : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(LanguageChoice, FollowsTheOverrideThenTheSystem) {
  EXPECT_EQ(ChooseLanguage(GetParam().chosen, GetParam().locale), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, LanguageChoice,
    ::testing::Values(
        // Windows: the primary language of the user's UI language; every Polish sublanguage.
        LanguageCase{"WindowsPolish", std::nullopt, Windows(0x0415), kPl},
        LanguageCase{"WindowsPolishNeutral", std::nullopt, Windows(0x0015), kPl},
        LanguageCase{"WindowsEnglish", std::nullopt, Windows(0x0409), kEn},
        LanguageCase{"WindowsGerman", std::nullopt, Windows(0x0407), kEn},
        // 0x0515 shares Polish's low byte but is another primary language.
        LanguageCase{"WindowsNotPolishBeyondTheLowByte", std::nullopt, Windows(0x0515), kEn},
        // POSIX: the first of LC_ALL, LC_MESSAGES and LANG that is set decides alone.
        LanguageCase{"LangPolish", std::nullopt, Posix({}, {}, "pl_PL.UTF-8"), kPl},
        LanguageCase{"LcAllBeforeLang", std::nullopt, Posix("C", {}, "pl_PL.UTF-8"), kEn},
        LanguageCase{"LcAllPolish", std::nullopt, Posix("pl_PL", "en_US", "en_US"), kPl},
        LanguageCase{"LcMessagesBeforeLang", std::nullopt, Posix({}, "en_GB", "pl_PL"), kEn},
        LanguageCase{"LcMessagesPolish", std::nullopt, Posix({}, "pl_PL.UTF-8", "C"), kPl},
        LanguageCase{"NothingSet", std::nullopt, Posix({}, {}, {}), kEn},
        // The override, in any case, before either; anything else is no override.
        LanguageCase{"OverridePolish", "pl", Posix({}, {}, "C"), kPl},
        LanguageCase{"OverrideEnglishOnPolishWindows", "EN", Windows(0x0415), kEn},
        LanguageCase{"OverrideUnknown", "de", Posix({}, {}, "pl_PL"), kPl}),
    [](const ::testing::TestParamInfo<LanguageCase>& test) {
      return std::string(test.param.name);
    });

std::multiset<std::string> Placeholders(const std::string& text) {
  std::multiset<std::string> found;
  for (std::size_t at = text.find('{'); at != std::string::npos; at = text.find('{', at + 1)) {
    found.insert(text.substr(at, 3));
  }
  return found;
}

// Polish without its letters shows the same on every code page; each text
// must take the same arguments in both languages.
TEST(TextTable, PolishIsPlainAsciiAndTakesTheSameArguments) {
  for (const Wordings& row : AllTexts()) {
    const std::string polish = row.polish;
    for (const char c : polish) {
      EXPECT_TRUE(c >= 0x20 && c < 0x7F) << polish;
    }
    EXPECT_EQ(Placeholders(row.english), Placeholders(polish)) << row.english;
    EXPECT_NE(polish, row.english) << "not translated";
  }
}

TEST(TextTable, SaysTheTextInTheChosenLanguageWithItsArguments) {
  SetLanguage(Language::kPolish);
  EXPECT_EQ(Say(Text::kDeviceStoredLess, {"7", "10240"}),
            "terminal zapisal tylko 7 z 10240 bajtow");
  SetLanguage(Language::kEnglish);
  EXPECT_EQ(Say(Text::kDeviceStoredLess, {"7", "10240"}),
            "the device stored only 7 of 10240 bytes");
}

}  // namespace
