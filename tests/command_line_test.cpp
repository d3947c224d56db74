// What the command line selects, and the usage text byte for byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/usage.h"

namespace {

struct CommandLineCase {
  std::vector<std::string> arguments;
  Command command;
  std::string file;
};

class CommandLineTest : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, SelectsTheTransferOnlyForAnExactOption) {
  const Invocation invocation = ParseCommandLine(GetParam().arguments);
  EXPECT_EQ(invocation.command, GetParam().command);
  EXPECT_EQ(invocation.file, GetParam().file);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineTest,
    ::testing::Values(CommandLineCase{{"filecopy"}, Command::kShowUsage, ""},
                      CommandLineCase{{"filecopy", "-d"}, Command::kShowUsage, ""},
                      CommandLineCase{{"filecopy", "-u"}, Command::kShowUsage, ""},
                      CommandLineCase{{"filecopy", "-d", "a.txt"}, Command::kDownload, "a.txt"},
                      CommandLineCase{{"filecopy", "-u", "a.txt"}, Command::kUpload, "a.txt"},
                      CommandLineCase{
                          {"filecopy", "-d", "a.txt", "extra"}, Command::kDownload, "a.txt"},
                      CommandLineCase{{"filecopy", "-D", "a.txt"}, Command::kShowUsage, ""},
                      CommandLineCase{{"filecopy", "-U", "a.txt"}, Command::kShowUsage, ""},
                      CommandLineCase{{"filecopy", "/d", "a.txt"}, Command::kShowUsage, ""},
                      CommandLineCase{{"filecopy", "-dx", "a.txt"}, Command::kShowUsage, ""},
                      CommandLineCase{{"filecopy", "--d", "a.txt"}, Command::kShowUsage, ""},
                      CommandLineCase{{"filecopy", "-", "a.txt"}, Command::kShowUsage, ""},
                      CommandLineCase{{"filecopy", "", "a.txt"}, Command::kShowUsage, ""},
                      CommandLineCase{{"filecopy", "a.txt", "-d"}, Command::kShowUsage, ""}));

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
