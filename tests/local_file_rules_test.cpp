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
  EXPECT_EQ(IsTemporaryNameOf(GetParam().file, "stock.txt"), GetParam().ours) << GetParam().file;
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
  const std::string first = TemporaryPathFor("dir/stock.txt");
  const std::string second = TemporaryPathFor("dir/stock.txt");
  EXPECT_NE(first, second);
  for (const std::string& path : {first, second}) {
    ASSERT_EQ(path.rfind("dir/", 0), 0U) << path;
    EXPECT_TRUE(IsTemporaryNameOf(path.substr(4), "stock.txt")) << path;
    // Windows does not tell the cases apart, so only one is drawn.
    EXPECT_EQ(path.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), std::string::npos) << path;
  }
}

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
