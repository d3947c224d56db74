// A download's target on this system's own files: a link whose file the
// system will not name is refused, never replaced by a file of its own.
#include "local/local_target.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <ostream>
#include <set>
#include <string>

#include "tests/scratch.h"
#include "texts/texts.h"

namespace {

// A folder deeper than PATH_MAX, and the current one while it lasts: its
// files open by a relative path, but realpath cannot name them. Removed
// one level at a time, as no path to its depths may be given whole.
class DeepFolder {
 public:
  DeepFolder() {
    char current[PATH_MAX] = {};
    if (getcwd(current, sizeof current) != nullptr) previous_ = current;
    if (chdir(scratch_.path().c_str()) != 0) return;
    while (levels_ * (kName.size() + 1) <= PATH_MAX) {
      if (mkdir(kName.c_str(), 0700) != 0 || chdir(kName.c_str()) != 0) return;
      ++levels_;
    }
  }
  ~DeepFolder() {
    for (const char* name : {"link.txt", "real.txt"}) unlink(name);
    for (; levels_ > 0; --levels_) {
      if (chdir("..") != 0 || rmdir(kName.c_str()) != 0) break;
    }
    if (!previous_.empty() && chdir(previous_.c_str()) != 0) previous_.clear();
  }
  DeepFolder(const DeepFolder&) = delete;
  DeepFolder& operator=(const DeepFolder&) = delete;

  bool made() const { return levels_ * (kName.size() + 1) > PATH_MAX; }

 private:
  inline static const std::string kName = std::string(250, 'd');
  ScratchFolder scratch_;
  std::string previous_;
  std::size_t levels_ = 0;
};

struct LanguageCase {
  const char* name;
  Language language;
};

void PrintTo(const LanguageCase& row, std::ostream* out) { *out << row.name; }

class UnresolvedLink : public ::testing::TestWithParam<LanguageCase> {
 protected:
  void TearDown() override { SetLanguage(Language::kEnglish); }
};

TEST_P(UnresolvedLink, IsRefusedAndLeftAsItWas) {
  const DeepFolder deep;
  ASSERT_TRUE(deep.made());
  WriteFileBytes("real.txt", "old");
  ASSERT_EQ(symlink("real.txt", "link.txt"), 0);
  SetLanguage(GetParam().language);
  try {
    LocalTarget target("link.txt");
    ADD_FAILURE() << "the link was taken to be replaced";
  } catch (const FileFailure& failure) {
    EXPECT_EQ(failure.step(), FileStep::kCreate);
    EXPECT_STREQ(failure.what(), Wording(Text::kLocalUnresolvedLink, GetParam().language));
  }
  char target[16] = {};
  EXPECT_EQ(readlink("link.txt", target, sizeof target - 1), 8);
  EXPECT_STREQ(target, "real.txt");
  EXPECT_EQ(ReadFileBytes("real.txt"), "old");
  EXPECT_EQ(FileNamesIn("."), (std::set<std::string>{"link.txt", "real.txt"}));
}

INSTANTIATE_TEST_SUITE_P(Languages, UnresolvedLink,
                         ::testing::Values(LanguageCase{"English", Language::kEnglish},
                                           LanguageCase{"Polish", Language::kPolish}),
                         [](const ::testing::TestParamInfo<LanguageCase>& test) {
                           return std::string(test.param.name);
                         });

}  // namespace
