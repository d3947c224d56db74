// The local-file policy's rules that need no file: which names are Windows
// devices, what a download does with what its target names, the temporary
// names, the pauses for a held file and how its holders are named.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <numeric>
#include <ostream>
#include <string>
#include <vector>

#include "local/file_rules.h"
#include "local/held_files.h"
#include "local/temporary_name.h"

namespace {

using std::chrono::milliseconds;

struct NameCase {
  const char* name;
  bool device;
};

// Each row's ctest name shows its name, not its bytes.
void PrintTo(const NameCase& row, std::ostream* out) { *out << row.name; }

class WindowsDeviceName : public ::testing::TestWithParam<NameCase> {};

TEST_P(WindowsDeviceName, IsToldFromAFileName) {
  EXPECT_EQ(IsWindowsDeviceName(GetParam().name), GetParam().device) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, WindowsDeviceName,
    ::testing::Values(NameCase{"NUL", true}, NameCase{"nul", true}, NameCase{"Nul.txt", true},
                      NameCase{"con", true}, NameCase{"PRN.tar.gz", true}, NameCase{"aux", true},
                      NameCase{"COM1", true}, NameCase{"com9.log", true}, NameCase{"LPT1", true},
                      NameCase{"lpt9", true}, NameCase{"NUL ", true}, NameCase{"NUL .txt", true},
                      NameCase{"NUL.", true}, NameCase{"COM0", false}, NameCase{"COM10", false},
                      NameCase{"LPT", false}, NameCase{"NULL", false}, NameCase{"nul_.txt", false},
                      NameCase{"CONSOLE", false}, NameCase{"stock.txt", false},
                      NameCase{"a.nul", false}, NameCase{"", false},
                      // Superscript one to three stand for the digit; four and zero do not.
                      NameCase{"COM\u00b9", true}, NameCase{"com\u00b2.txt", true},
                      NameCase{"LPT\u00b3", true}, NameCase{"lpt\u00b9 .log", true},
                      NameCase{"COM\u2074", false}, NameCase{"COM\u2070", false},
                      NameCase{"COM\u00b9\u00b9", false}),
    [](const ::testing::TestParamInfo<NameCase>& test) {
      std::string name = std::to_string(test.index) + "_";
      for (const char c : std::string(test.param.name)) {
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      }
      return name;
    });

struct RuleCase {
  const char* name;
  platform::PathFacts facts;
  TargetRule rule;
};

void PrintTo(const RuleCase& row, std::ostream* out) { *out << row.name; }

class TargetRules : public ::testing::TestWithParam<RuleCase> {};

TEST_P(TargetRules, ReplaceOnlyRegularFilesFollowingLinks) {
  EXPECT_EQ(RuleFor(GetParam().facts), GetParam().rule);
}

using platform::FileType;

INSTANTIATE_TEST_SUITE_P(
    Rules, TargetRules,
    ::testing::Values(
        RuleCase{"Nothing", {false, FileType::kMissing, ""}, TargetRule::kCreate},
        RuleCase{"RegularFile", {false, FileType::kRegular, "/a/f"}, TargetRule::kReplace},
        RuleCase{"Folder", {false, FileType::kFolder, "/a/f"}, TargetRule::kNotARegularFile},
        RuleCase{"Device", {false, FileType::kOther, "/a/f"}, TargetRule::kNotARegularFile},
        // What the system would not say is left to the calls that replace it.
        RuleCase{"Unknown", {false, FileType::kUnknown, ""}, TargetRule::kReplace},
        RuleCase{"LinkToAFile", {true, FileType::kRegular, "/b/g"}, TargetRule::kReplace},
        RuleCase{"LinkToNothing", {true, FileType::kMissing, ""}, TargetRule::kDanglingLink},
        // The system would not name the file a link leads to.
        RuleCase{
            "LinkToAnUnnamedFile", {true, FileType::kRegular, ""}, TargetRule::kUnresolvedLink},
        RuleCase{
            "LinkToAnUnnamedUnknown", {true, FileType::kUnknown, ""}, TargetRule::kUnresolvedLink},
        RuleCase{"LinkToAFolder", {true, FileType::kFolder, "/b"}, TargetRule::kNotARegularFile},
        RuleCase{
            "LinkToADevice", {true, FileType::kOther, "/dev/null"}, TargetRule::kNotARegularFile}),
    [](const ::testing::TestParamInfo<RuleCase>& test) { return std::string(test.param.name); });

TEST(FileNameStart, IsAfterTheLastSeparatorOfThePlatform) {
  EXPECT_EQ(FileNameStart("stock.txt", "/"), 0U);
  EXPECT_EQ(FileNameStart("a/b/stock.txt", "/"), 4U);
  EXPECT_EQ(FileNameStart("a\\b/c\\stock.txt", "\\/:"), 6U);
  EXPECT_EQ(FileNameStart("C:stock.txt", "\\/:"), 2U);
  EXPECT_EQ(FileNameStart("a\\b", "/"), 0U);
  EXPECT_EQ(FileNameStart("folder/", "/"), 7U);
}

struct TemporaryCase {
  const char* name;
  const char* file;
  bool ours;
};

std::ostream& operator<<(std::ostream& out, const TemporaryCase& test) { return out << test.name; }

class TemporaryNameRule : public ::testing::TestWithParam<TemporaryCase> {};

TEST_P(TemporaryNameRule, AreTheTargetsOwnAndNoOtherFiles) {
  EXPECT_EQ(IsTemporaryNameOf(GetParam().file, "stock.txt", NameLimit{}), GetParam().ours)
      << GetParam().file;
}

INSTANTIATE_TEST_SUITE_P(
    Names, TemporaryNameRule,
    ::testing::Values(TemporaryCase{"Drawn", "stock.txt.filecopy-a1b2c3", true},
                      TemporaryCase{"DrawnByAnOlderVersion", "stock.txt.filecopy-Ab12Cd", true},
                      TemporaryCase{"TheTarget", "stock.txt", false},
                      // Another target's, whose name ends as this one's does.
                      TemporaryCase{"OfATargetEndingAlike", "old-stock.txt.filecopy-a1b2c3", false},
                      TemporaryCase{"OfATargetBeginningAlike", "stock.txt.1.filecopy-a1b2c3",
                                    false},
                      // Another target's, whose name is as long.
                      TemporaryCase{"OfATargetAsLong", "stack.txt.filecopy-a1b2c3", false},
                      TemporaryCase{"TooShort", "stock.txt.filecopy-a1b2c", false},
                      TemporaryCase{"TooLong", "stock.txt.filecopy-a1b2c3d", false},
                      TemporaryCase{"NotLettersOrDigits", "stock.txt.filecopy-a1b2c-", false},
                      TemporaryCase{"AnotherInfix", "stock.txt.filecopi-a1b2c3", false},
                      TemporaryCase{"TheDevicesOwn", "stock.txt.filecopy", false}),
    [](const ::testing::TestParamInfo<TemporaryCase>& test) {
      return std::string(test.param.name);
    });

TEST(TemporaryNames, AreDrawnBesideTheTargetAndDifferEachTime) {
  const std::string first = TemporaryPathFor("dir/stock.txt", NameLimit{});
  const std::string second = TemporaryPathFor("dir/stock.txt", NameLimit{});
  EXPECT_NE(first, second);
  for (const std::string& path : {first, second}) {
    ASSERT_EQ(path.rfind("dir/", 0), 0U) << path;
    EXPECT_TRUE(IsTemporaryNameOf(path.substr(4), "stock.txt", NameLimit{})) << path;
    // Windows does not tell the cases apart, so only one is drawn.
    EXPECT_EQ(path.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), std::string::npos) << path;
  }
}

// A target whose name leaves no room for the rest: its name is cut, never
// inside a character, so the temporary name fits, and stays the target's own.
struct LongTargetCase {
  const char* name;
  std::string target;
  NameLimit limit;
  bool shortened;
};

std::ostream& operator<<(std::ostream& out, const LongTargetCase& test) { return out << test.name; }

std::string Repeated(std::string_view text, std::size_t times) {
  std::string repeated;
  for (std::size_t i = 0; i < times; ++i) repeated += text;
  return repeated;
}

std::size_t Utf16Units(std::string_view utf8) {
  std::size_t units = 0;
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0U) != 0x80U) units += byte >= 0xF0U ? 2 : 1;
  }
  return units;
}

class LongTargetName : public ::testing::TestWithParam<LongTargetCase> {};

TEST_P(LongTargetName, IsCutToFitAndStaysTheTargetsOwn) {
  const LongTargetCase& row = GetParam();
  const std::string name = TemporaryPathFor("dir/" + row.target, row.limit).substr(4);
  EXPECT_LE(row.limit.in_utf16_units ? Utf16Units(name) : name.size(), row.limit.longest);
  EXPECT_TRUE(IsTemporaryNameOf(name, row.target, row.limit)) << name;
  EXPECT_EQ(name.rfind(row.target + ".filecopy-", 0) == 0, !row.shortened) << name;
  if (row.shortened) {
    const std::size_t kept = name.find('~');
    ASSERT_NE(kept, std::string::npos) << name;
    EXPECT_EQ(row.target.compare(0, kept, name, 0, kept), 0) << name;
    EXPECT_NE(static_cast<unsigned char>(row.target[kept]) & 0xC0U, 0x80U) << "a character cut";
  }
  // Nor is it another target's whose name begins alike, or one shorter.
  std::string other = row.target;
  other.back() = other.back() == 'x' ? 'y' : 'x';
  EXPECT_FALSE(IsTemporaryNameOf(name, other, row.limit)) << name;
  EXPECT_FALSE(IsTemporaryNameOf(name, row.target.substr(0, row.target.size() - 1), row.limit));
}

constexpr NameLimit kBytes{255, false};
constexpr NameLimit kUtf16Units{255, true};

INSTANTIATE_TEST_SUITE_P(
    Names, LongTargetName,
    ::testing::Values(
        // 239 bytes and the rest make 255.
        LongTargetCase{"FitsWhole", Repeated("s", 235) + ".txt", kBytes, false},
        LongTargetCase{"AByteTooLong", Repeated("s", 236) + ".txt", kBytes, true},
        LongTargetCase{"OfTheLongestName", Repeated("s", 251) + ".txt", kBytes, true},
        LongTargetCase{"OfTwoByteCharacters", Repeated("\xC5\x82", 124) + ".txt", kBytes, true},
        LongTargetCase{"OfThreeByteCharacters", Repeated("\xE6\x97\xA5", 82) + ".txt", kBytes,
                       true},
        // Windows counts "ł" once, but a character past the first 65,536 twice.
        LongTargetCase{"OfTwoByteCharactersInUtf16", Repeated("\xC5\x82", 235) + ".txt",
                       kUtf16Units, false},
        LongTargetCase{"OfSurrogatePairsInUtf16", Repeated("\xF0\x9F\x98\x80", 118) + ".txt",
                       kUtf16Units, true},
        LongTargetCase{"OfSurrogatePairsFittingInUtf16", Repeated("\xF0\x9F\x98\x80", 117) + ".txt",
                       kUtf16Units, false}),
    [](const ::testing::TestParamInfo<LongTargetCase>& test) {
      return std::string(test.param.name);
    });

TEST(HeldFilePauses, GrowFrom50MillisecondsTo1SecondFor5SecondsInAll) {
  const std::vector<milliseconds> pauses = HeldFilePauses();
  ASSERT_GE(pauses.size(), 2U);
  EXPECT_EQ(pauses.front(), milliseconds(50));
  EXPECT_EQ(pauses[1], milliseconds(100));
  EXPECT_EQ(std::accumulate(pauses.begin(), pauses.end(), milliseconds(0)), milliseconds(5000));
  for (std::size_t i = 1; i + 1 < pauses.size(); ++i) {
    EXPECT_LE(pauses[i], milliseconds(1000));
    EXPECT_GE(pauses[i], pauses[i - 1]);
  }
  EXPECT_EQ(*std::max_element(pauses.begin(), pauses.end()), milliseconds(1000));
}

struct HoldersCase {
  const char* name;
  std::vector<platform::FileHolder> holders;
  const char* named;
};

void PrintTo(const HoldersCase& row, std::ostream* out) { *out << row.name; }

class NamedHolders : public ::testing::TestWithParam<HoldersCase> {};

TEST_P(NamedHolders, NameEachProgramOnce) {
  EXPECT_EQ(::HolderNames(GetParam().holders), GetParam().named);
}

INSTANTIATE_TEST_SUITE_P(
    Holders, NamedHolders,
    ::testing::Values(HoldersCase{"None", {}, ""},
                      HoldersCase{"ApplicationAndImage",
                                  {{"Microsoft Excel", "EXCEL.EXE"}},
                                  "Microsoft Excel (EXCEL.EXE)"},
                      HoldersCase{"ImageOnly", {{"", "notepad.exe"}}, "notepad.exe"},
                      HoldersCase{"ApplicationOnly", {{"Microsoft Excel", ""}}, "Microsoft Excel"},
                      HoldersCase{
                          "TheSameNameTwice", {{"notepad.exe", "notepad.exe"}}, "notepad.exe"},
                      HoldersCase{"Several",
                                  {{"Microsoft Excel", "EXCEL.EXE"},
                                   {"", "scanner.exe"},
                                   {"Microsoft Excel", "EXCEL.EXE"}},
                                  "Microsoft Excel (EXCEL.EXE), scanner.exe"},
                      HoldersCase{"Nameless", {{"", ""}}, ""}),
    [](const ::testing::TestParamInfo<HoldersCase>& test) { return std::string(test.param.name); });

}  // namespace
