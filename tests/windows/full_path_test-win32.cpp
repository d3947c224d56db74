// The forms of a local path the wide calls take: \\?\ past MAX_PATH, and the
// everyday one for the calls that do not take it.
#include <gtest/gtest.h>
#include <windows.h>

#include <ostream>
#include <string>

#include "platform/full_path-win32.h"

namespace {

struct PathCase {
  const char* name;
  const char* typed;
  const wchar_t* extended;
  const wchar_t* everyday;
};

// Failures name the row, not its bytes.
void PrintTo(const PathCase& row, std::ostream* out) { *out << row.name; }

class FullPaths : public ::testing::TestWithParam<PathCase> {};

TEST_P(FullPaths, HaveTheExtendedAndTheEverydayForm) {
  EXPECT_EQ(platform::ExtendedPath(GetParam().typed), GetParam().extended);
  EXPECT_EQ(platform::EverydayPath(GetParam().typed), GetParam().everyday);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FullPaths,
    ::testing::Values(PathCase{"Share", R"(\\server\share\stan.txt)",
                               LR"(\\?\UNC\server\share\stan.txt)", LR"(\\server\share\stan.txt)"},
                      PathCase{"ShareWithSlashesAndDots", "//server/share/old/../stan.txt",
                               LR"(\\?\UNC\server\share\stan.txt)", LR"(\\server\share\stan.txt)"},
                      PathCase{"Drive", R"(C:\Remanex\stan.txt)", LR"(\\?\C:\Remanex\stan.txt)",
                               LR"(C:\Remanex\stan.txt)"},
                      PathCase{"DriveWithDots", R"(C:\Remanex\old\..\.\stan.txt)",
                               LR"(\\?\C:\Remanex\stan.txt)", LR"(C:\Remanex\stan.txt)"},
                      PathCase{"Extended", R"(\\?\C:\Remanex\stan.txt)",
                               LR"(\\?\C:\Remanex\stan.txt)", LR"(C:\Remanex\stan.txt)"},
                      PathCase{"ExtendedShare", R"(\\?\UNC\server\share\stan.txt)",
                               LR"(\\?\UNC\server\share\stan.txt)", LR"(\\server\share\stan.txt)"},
                      // A volume without a letter has no everyday form.
                      PathCase{"Volume",
                               R"(\\?\Volume{0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9}\stan.txt)",
                               LR"(\\?\Volume{0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9}\stan.txt)",
                               LR"(\\?\Volume{0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9}\stan.txt)"},
                      PathCase{"Device", R"(\\.\COM1)", LR"(\\.\COM1)", LR"(\\.\COM1)"}),
    [](const ::testing::TestParamInfo<PathCase>& test) { return std::string(test.param.name); });

TEST(FullPaths, OfARelativePathAreInTheCurrentFolder) {
  wchar_t folder[MAX_PATH * 4] = {};
  const DWORD length = GetCurrentDirectoryW(MAX_PATH * 4, folder);
  ASSERT_GT(length, 0U);
  std::wstring expected(folder, length);
  if (expected.back() != L'\\') expected += L'\\';
  expected += L"stan.txt";
  EXPECT_EQ(platform::ExtendedPath("stan.txt"), L"\\\\?\\" + expected);
  EXPECT_EQ(platform::EverydayPath("stan.txt"), expected);
}

}  // namespace
