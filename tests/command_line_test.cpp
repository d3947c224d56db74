// What the command line selects, and the usage text byte for byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/usage.h"

namespace {

struct CommandLineCase {
  const char* name;
  std::vector<std::string> arguments;
  Command command;
  std::string file;
};

std::ostream& operator<<(std::ostream& out, const CommandLineCase& test) {
  return out << test.name;
}

class CommandLineTest : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, SelectsTheTransferOnlyForAnExactOption) {
  const Invocation invocation = ParseCommandLine(GetParam().arguments);
  EXPECT_EQ(invocation.command, GetParam().command);
  EXPECT_EQ(invocation.file, GetParam().file);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineTest,
    ::testing::Values(
        CommandLineCase{"NoArguments", {"filecopy"}, Command::kShowUsage, ""},
        CommandLineCase{"DownloadWithoutFile", {"filecopy", "-d"}, Command::kShowUsage, ""},
        CommandLineCase{"UploadWithoutFile", {"filecopy", "-u"}, Command::kShowUsage, ""},
        CommandLineCase{"Download", {"filecopy", "-d", "a.txt"}, Command::kDownload, "a.txt"},
        CommandLineCase{"Upload", {"filecopy", "-u", "a.txt"}, Command::kUpload, "a.txt"},
        CommandLineCase{"DownloadIgnoresExtra",
                        {"filecopy", "-d", "a.txt", "extra"},
                        Command::kDownload,
                        "a.txt"},
        CommandLineCase{"UpperCaseD", {"filecopy", "-D", "a.txt"}, Command::kShowUsage, ""},
        CommandLineCase{"UpperCaseU", {"filecopy", "-U", "a.txt"}, Command::kShowUsage, ""},
        CommandLineCase{"SlashD", {"filecopy", "/d", "a.txt"}, Command::kShowUsage, ""},
        CommandLineCase{"OptionWithSuffix", {"filecopy", "-dx", "a.txt"}, Command::kShowUsage, ""},
        CommandLineCase{"DoubleDash", {"filecopy", "--d", "a.txt"}, Command::kShowUsage, ""},
        CommandLineCase{"DashAlone", {"filecopy", "-", "a.txt"}, Command::kShowUsage, ""},
        CommandLineCase{"EmptyOption", {"filecopy", "", "a.txt"}, Command::kShowUsage, ""},
        CommandLineCase{"OptionAfterFile", {"filecopy", "a.txt", "-d"}, Command::kShowUsage, ""}),
    [](const ::testing::TestParamInfo<CommandLineCase>& test) { return test.param.name; });

TEST(UsageTest, WritesTheFourTextsExactly) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  WriteUsage(out);
  std::rewind(out);
  std::string written;
  for (int c = std::fgetc(out); c != EOF; c = std::fgetc(out)) written += static_cast<char>(c);
  std::fclose(out);
  EXPECT_EQ(written,
            "*** Program do kopiowania plikow dla aplikacji Remanex ***\n"
            "\nOpcje wywolania: \n"
            "   -d [nazwa_pliku]\tkopiowanie pliku wyeksportowanego przez \n"
            "\t\t\tRemanex do pliku [nazwa_pliku]\n\n"
            "   -u [nazwa_pliku]\tkopiowanie pliku [nazwa_pliku]\n"
            "\t\t\tdla programu Remanex\n\n");
}

}  // namespace
