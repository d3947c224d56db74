// Which language a run speaks, and the table of the program's texts.
#include "app/language.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "device/transfer/copy_progress.h"
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

using SystemTexts = platform::SystemTextLanguage;
constexpr SystemTexts kUsers = SystemTexts::kUsers;

struct LanguageCase {
  const char* name;
  std::optional<std::string> chosen;  // FILECOPY_LANGUAGE
  Locale locale;
  Language expected;
  // The system's own texts: the user's only where the run speaks the user's Polish.
  SystemTexts system_texts = SystemTexts::kEnglish;
};

std::ostream& operator<<(std::ostream& out, const LanguageCase& test) { return out << test.name; }

class LanguageChoice : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(LanguageChoice, FollowsTheOverrideThenTheSystem) {
  const Language language = ChooseLanguage(GetParam().chosen, GetParam().locale);
  EXPECT_EQ(language, GetParam().expected);
  EXPECT_EQ(SystemTextsFor(language, GetParam().locale), GetParam().system_texts);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, LanguageChoice,
    ::testing::Values(
        // Windows: the primary language of the user's UI language; every Polish sublanguage.
        LanguageCase{"WindowsPolish", std::nullopt, Windows(0x0415), kPl, kUsers},
        LanguageCase{"WindowsPolishNeutral", std::nullopt, Windows(0x0015), kPl, kUsers},
        LanguageCase{"WindowsEnglish", std::nullopt, Windows(0x0409), kEn},
        LanguageCase{"WindowsGerman", std::nullopt, Windows(0x0407), kEn},
        // 0x0515 shares Polish's low byte but is another primary language.
        LanguageCase{"WindowsNotPolishBeyondTheLowByte", std::nullopt, Windows(0x0515), kEn},
        // POSIX: the first of LC_ALL, LC_MESSAGES and LANG that is set decides alone.
        LanguageCase{"LangPolish", std::nullopt, Posix({}, {}, "pl_PL.UTF-8"), kPl, kUsers},
        LanguageCase{"LcAllBeforeLang", std::nullopt, Posix("C", {}, "pl_PL.UTF-8"), kEn},
        LanguageCase{"LcAllPolish", std::nullopt, Posix("pl_PL", "en_US", "en_US"), kPl, kUsers},
        LanguageCase{"LcMessagesBeforeLang", std::nullopt, Posix({}, "en_GB", "pl_PL"), kEn},
        LanguageCase{"LcMessagesPolish", std::nullopt, Posix({}, "pl_PL.UTF-8", "C"), kPl, kUsers},
        LanguageCase{"NothingSet", std::nullopt, Posix({}, {}, {}), kEn},
        // The override, in any case, before either; anything else is no override.
        LanguageCase{"OverridePolish", "pl", Posix({}, {}, "C"), kPl},
        LanguageCase{"OverridePolishOnGermanWindows", "pl", Windows(0x0407), kPl},
        LanguageCase{"OverrideEnglishUnderAPolishLocale", "en", Posix({}, {}, "pl_PL.UTF-8"), kEn},
        LanguageCase{"OverrideEnglishOnPolishWindows", "EN", Windows(0x0415), kEn},
        LanguageCase{"OverrideUnknown", "de", Posix({}, {}, "pl_PL"), kPl, kUsers}),
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

// How many forms each count's word has: "{2:byte|bytes}" has 2.
std::vector<std::size_t> FormCounts(const std::string& text) {
  std::vector<std::size_t> counts;
  for (std::size_t at = text.find('{'); at != std::string::npos; at = text.find('{', at + 1)) {
    if (text.compare(at + 2, 1, ":") != 0) continue;
    const std::string forms = text.substr(at + 3, text.find('}', at) - at - 3);
    counts.push_back(1 + static_cast<std::size_t>(std::count(forms.begin(), forms.end(), '|')));
  }
  return counts;
}

// Polish without its letters shows the same on every code page; each text
// must take the same arguments in both languages, and a count's word every
// form of its language: English two, Polish three.
TEST(TextTable, PolishIsPlainAsciiAndTakesTheSameArguments) {
  for (const Wordings& row : AllTexts()) {
    const std::string polish = row.polish;
    for (const char c : polish) {
      EXPECT_TRUE(c >= 0x20 && c < 0x7F) << polish;
    }
    EXPECT_EQ(Placeholders(row.english), Placeholders(polish)) << row.english;
    EXPECT_NE(polish, row.english) << "not translated";
    for (const std::size_t forms : FormCounts(row.english)) EXPECT_EQ(forms, 2U) << row.english;
    for (const std::size_t forms : FormCounts(polish)) EXPECT_EQ(forms, 3U) << polish;
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

// A count's word in each language: English one and the rest; Polish one, 2-4
// in the last digit but not 12-14, and the rest; in the genitive ("z 22
// bajtow") one and the rest.
struct PluralCase {
  std::uint64_t count;
  const char* english;
  const char* polish;
  const char* polish_genitive;
};

std::ostream& operator<<(std::ostream& out, const PluralCase& test) { return out << test.count; }

class CountedWords : public ::testing::TestWithParam<PluralCase> {
 protected:
  void TearDown() override { SetLanguage(Language::kEnglish); }
};

TEST_P(CountedWords, TakeTheFormTheirNumberWants) {
  const PluralCase& row = GetParam();
  const std::string count = std::to_string(row.count);
  SetLanguage(Language::kEnglish);
  EXPECT_EQ(Say(Text::kCopied, {count}), "Copied " + count + " " + row.english);
  EXPECT_EQ(Say(Text::kDeviceStoredLess, {"0", count}),
            "the device stored only 0 of " + count + " " + row.english);
  SetLanguage(Language::kPolish);
  EXPECT_EQ(Say(Text::kCopied, {count}), "Skopiowano " + count + " " + row.polish);
  EXPECT_EQ(Say(Text::kDeviceStoredLess, {"0", count}),
            "terminal zapisal tylko 0 z " + count + " " + row.polish_genitive);
  const std::string returned = "terminal zwrocil " + count + " " + row.polish;
  EXPECT_EQ(Say(Text::kDeviceReadTooMuch, {count, count}),
            returned + " przy odczycie " + count + " " + row.polish_genitive);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, CountedWords,
    ::testing::Values(
        PluralCase{0, "bytes", "bajtow", "bajtow"}, PluralCase{1, "byte", "bajt", "bajtu"},
        PluralCase{2, "bytes", "bajty", "bajtow"}, PluralCase{4, "bytes", "bajty", "bajtow"},
        PluralCase{5, "bytes", "bajtow", "bajtow"}, PluralCase{11, "bytes", "bajtow", "bajtow"},
        PluralCase{12, "bytes", "bajtow", "bajtow"}, PluralCase{14, "bytes", "bajtow", "bajtow"},
        PluralCase{21, "bytes", "bajtow", "bajtow"}, PluralCase{22, "bytes", "bajty", "bajtow"},
        PluralCase{24, "bytes", "bajty", "bajtow"}, PluralCase{25, "bytes", "bajtow", "bajtow"},
        PluralCase{101, "bytes", "bajtow", "bajtow"}, PluralCase{102, "bytes", "bajty", "bajtow"},
        PluralCase{112, "bytes", "bajtow", "bajtow"}, PluralCase{122, "bytes", "bajty", "bajtow"},
        PluralCase{1000000, "bytes", "bajtow", "bajtow"}),
    [](const ::testing::TestParamInfo<PluralCase>& test) {
      return "Of" + std::to_string(test.param.count);
    });

// The progress line's figures in groups of three, as each language writes
// them, at the lengths where a group begins or ends; its words as above.
struct ProgressCase {
  const char* name;
  std::uint64_t copied;
  std::optional<std::uint64_t> size;
  const char* english;
  const char* polish;
};

std::ostream& operator<<(std::ostream& out, const ProgressCase& test) { return out << test.name; }

class ProgressLine : public ::testing::TestWithParam<ProgressCase> {
 protected:
  void TearDown() override { SetLanguage(Language::kEnglish); }
};

TEST_P(ProgressLine, GroupsTheDigitsAndCountsTheBytes) {
  SetLanguage(Language::kEnglish);
  EXPECT_EQ(ProgressText(GetParam().copied, GetParam().size), GetParam().english);
  SetLanguage(Language::kPolish);
  EXPECT_EQ(ProgressText(GetParam().copied, GetParam().size), GetParam().polish);
}

INSTANTIATE_TEST_SUITE_P(
    Figures, ProgressLine,
    ::testing::Values(ProgressCase{"OneOfOne", 1, 1, "Copied 1 of 1 byte (100%)",
                                   "Skopiowano 1 z 1 bajtu (100%)"},
                      ProgressCase{"ThreeDigits", 256, 512, "Copied 256 of 512 bytes (50%)",
                                   "Skopiowano 256 z 512 bajtow (50%)"},
                      ProgressCase{"FourDigits", 1024, 4096, "Copied 1,024 of 4,096 bytes (25%)",
                                   "Skopiowano 1 024 z 4 096 bajtow (25%)"},
                      ProgressCase{"SixDigits", 256000, 512000,
                                   "Copied 256,000 of 512,000 bytes (50%)",
                                   "Skopiowano 256 000 z 512 000 bajtow (50%)"},
                      ProgressCase{"SevenDigits", 1048576, 4194304,
                                   "Copied 1,048,576 of 4,194,304 bytes (25%)",
                                   "Skopiowano 1 048 576 z 4 194 304 bajtow (25%)"},
                      ProgressCase{"WithoutASize", 1234, std::nullopt, "Copied 1,234 bytes",
                                   "Skopiowano 1 234 bajty"},
                      ProgressCase{"PastItsSize", 1, 0, "Copied 1 byte", "Skopiowano 1 bajt"}),
    [](const ::testing::TestParamInfo<ProgressCase>& test) {
      return std::string(test.param.name);
    });

}  // namespace
