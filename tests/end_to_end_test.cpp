// The real program bound to the device simulator, run as a child process
// with no terminal, or with a pseudo-terminal as its controlling terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/child_process.h"
#include "tests/end_to_end_support.h"
#include "tests/scratch.h"
#include "tests/simulated_device.h"

namespace {

using namespace std::chrono_literals;

// Starting the program is all "at once" may take.
constexpr auto kAtOnce = 3s;
// Long enough that a program not waiting for a key would have ended.
constexpr auto kStillWaiting = 300ms;

const std::string kUsage =
    "*** Program do kopiowania plikow dla aplikacji Remanex ***\n"
    "\nOpcje wywolania: \n"
    "   -d [nazwa_pliku]\tkopiowanie pliku wyeksportowanego przez \n"
    "\t\t\tRemanex do pliku [nazwa_pliku]\n\n"
    "   -u [nazwa_pliku]\tkopiowanie pliku [nazwa_pliku]\n"
    "\t\t\tdla programu Remanex\n\n";

std::string Joined(const std::vector<std::string>& arguments) {
  std::string name = "filecopy";
  for (const std::string& argument : arguments) name += " " + argument;
  return name;
}

// ---- The usage screen ----

class UsageWithoutTerminal : public ::testing::TestWithParam<std::vector<std::string>> {
 protected:
  SimulatedDevice device_;
};

TEST_P(UsageWithoutTerminal, PrintsTheFourTextsAndEndsAtOnce) {
  const ProgramRun run = RunWithoutTerminal(GetParam(), device_.local_folder(), kAtOnce);
  ASSERT_EQ(run.start_failure, "");
  EXPECT_EQ(run.status, ExitedWith(0))
      << "nothing: still waiting after " << kAtOnce.count() << " s";
  EXPECT_EQ(run.output, kUsage);
  EXPECT_EQ(run.errors, "");
  EXPECT_EQ(device_.Calls(), "") << "the usage screen must not contact the device";
  EXPECT_EQ(FileNamesIn(device_.local_folder()), std::set<std::string>{});
}

std::string ArgumentsName(const ::testing::TestParamInfo<std::vector<std::string>>& info) {
  static const char* const kNames[] = {"NoArguments", "OptionWithoutFile", "UpperCaseOption",
                                       "DoubleDashOption", "SlashOption"};
  return kNames[info.index];
}

INSTANTIATE_TEST_SUITE_P(Arguments, UsageWithoutTerminal,
                         ::testing::Values(std::vector<std::string>{},
                                           std::vector<std::string>{"-d"},
                                           std::vector<std::string>{"-D", "x"},
                                           std::vector<std::string>{"--d", "x"},
                                           std::vector<std::string>{"/d", "x"}),
                         ArgumentsName);

struct KeyCase {
  const char* name;
  std::vector<std::string> arguments;
  std::string key;
};

std::ostream& operator<<(std::ostream& out, const KeyCase& key) {
  return out << Joined(key.arguments) << " closed by " << key.name;
}

class TerminalRun : public ::testing::Test {
 protected:
  // Standard input is /dev/null, so only a key read from the terminal itself
  // keeps the program waiting; standard error is kept off the screen.
  ChildProcess Start(const std::vector<std::string>& arguments) {
    ChildProcess::Options options;
    options.arguments = arguments;
    options.terminal = ChildProcess::Terminal::kPseudo;
    options.input = ChildProcess::Input::kNull;
    options.directory = device_.local_folder();
    options.error_file = capture_ / "stderr";
    return ChildProcess(kProgram, options);
  }
  std::string Errors() const { return ReadFileBytes(capture_ / "stderr"); }

  SimulatedDevice device_;
  ScratchFolder capture_;
};

class UsageOnTerminal : public TerminalRun, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(UsageOnTerminal, WaitsForOneKeyWithoutEchoAndRestoresTheTerminal) {
  ChildProcess child = Start(GetParam().arguments);
  ASSERT_EQ(child.start_failure(), "");
  // Typing before the terminal is raw would let the terminal itself echo the key.
  ASSERT_TRUE(child.WaitForModes(IsRaw, kAtOnce)) << "the terminal never became raw";
  EXPECT_TRUE(child.WaitForScreen(
      [](const std::string& screen) { return screen == AsShownOnTerminal(kUsage); }, kAtOnce))
      << child.Screen();
  ASSERT_TRUE(child.StillRunningAfter(kStillWaiting)) << "it did not wait for a key";

  child.Type(GetParam().key);
  EXPECT_EQ(child.Wait(kAtOnce), ExitedWith(0));
  EXPECT_EQ(child.Screen(), AsShownOnTerminal(kUsage)) << "the key was echoed";
  EXPECT_TRUE(ModesRestored(child.Modes(), child.initial_modes()));
  EXPECT_EQ(child.UnreadInput(), 0) << "the rest of the key was left for the next program";
  EXPECT_EQ(Errors(), "");
}

INSTANTIATE_TEST_SUITE_P(Keys, UsageOnTerminal,
                         ::testing::Values(KeyCase{"Letter", {}, "x"}, KeyCase{"CtrlC", {}, "\x03"},
                                           KeyCase{"ArrowKey", {}, "\x1b[A"},
                                           KeyCase{"SpaceAfterUpperCaseOption", {"-D", "x"}, " "}),
                         [](const ::testing::TestParamInfo<KeyCase>& test) {
                           return std::string(test.param.name);
                         });

struct SignalCase {
  const char* name;
  int number;
};

std::ostream& operator<<(std::ostream& out, const SignalCase& signal) { return out << signal.name; }

class UsageEndedBySignal : public TerminalRun, public ::testing::WithParamInterface<SignalCase> {};

TEST_P(UsageEndedBySignal, StillRestoresTheTerminal) {
  const int signal_number = GetParam().number;
  ChildProcess child = Start({});
  ASSERT_EQ(child.start_failure(), "");
  ASSERT_TRUE(child.WaitForModes(IsRaw, kAtOnce)) << "the terminal never became raw";
  child.Signal(signal_number);
  EXPECT_EQ(child.Wait(kAtOnce), KilledBy(signal_number));
  EXPECT_TRUE(ModesRestored(child.Modes(), child.initial_modes()));
}

INSTANTIATE_TEST_SUITE_P(
    Signals, UsageEndedBySignal,
    ::testing::Values(SignalCase{"Term", SIGTERM}, SignalCase{"HangUp", SIGHUP},
                      SignalCase{"Interrupt", SIGINT}, SignalCase{"Quit", SIGQUIT}),
    [](const ::testing::TestParamInfo<SignalCase>& test) { return std::string(test.param.name); });

// ---- Transfers ----

class TransferRun : public ::testing::Test {
 protected:
  ProgramRun RunInLocalFolder(const std::vector<std::string>& arguments) {
    return RunWithoutTerminal(arguments, device_.local_folder());
  }

  static void ExpectCleanSuccess(const ProgramRun& run) {
    ASSERT_EQ(run.start_failure, "");
    EXPECT_EQ(run.status, ExitedWith(0));
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(run.errors, "");
  }

  FolderSnapshot Local() const { return Snapshot(device_.local_folder()); }
  FolderSnapshot Device() const { return Snapshot(device_.tarvel_folder()); }

  SimulatedDevice device_;
};

enum class Direction { kDownload, kUpload };

struct SizeCase {
  Direction direction;
  std::size_t size;
};

std::ostream& operator<<(std::ostream& out, const SizeCase& size) {
  return out << (size.direction == Direction::kDownload ? "-d " : "-u ") << size.size << " bytes";
}

class TransferSize : public TransferRun, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(TransferSize, CopiesByteForByte) {
  const std::string content = RandomBytes(GetParam().size, static_cast<unsigned>(GetParam().size));
  if (GetParam().direction == Direction::kDownload) {
    WriteFileBytes(device_.Tarvel("remanx.imp"), content);
    ExpectCleanSuccess(RunInLocalFolder({"-d", "stock.txt"}));
    EXPECT_EQ(Differences({{"stock.txt", content}}, Local()), "");
    EXPECT_EQ(Differences({{"remanx.imp", content}}, Device()), "");
  } else {
    WriteFileBytes(device_.Local("stock.txt"), content);
    ExpectCleanSuccess(RunInLocalFolder({"-u", "stock.txt"}));
    EXPECT_EQ(Differences({{"remanx.exp", content}}, Device()), "");
    EXPECT_EQ(Differences({{"stock.txt", content}}, Local()), "");
  }
  EXPECT_TRUE(DeviceReleased(ParseCalls(device_.Calls())));
}

INSTANTIATE_TEST_SUITE_P(
    ChunkBoundaries, TransferSize,
    ::testing::Values(SizeCase{Direction::kDownload, 0}, SizeCase{Direction::kDownload, 10240},
                      SizeCase{Direction::kDownload, 10241},
                      SizeCase{Direction::kDownload, 3 * 1024 * 1024 + 7},
                      SizeCase{Direction::kUpload, 0}, SizeCase{Direction::kUpload, 10240},
                      SizeCase{Direction::kUpload, 10241},
                      SizeCase{Direction::kUpload, 3 * 1024 * 1024 + 7}),
    [](const ::testing::TestParamInfo<SizeCase>& test) {
      return std::string(test.param.direction == Direction::kDownload ? "Download" : "Upload") +
             std::to_string(test.param.size);
    });

TEST_F(TransferRun, DownloadIgnoresAThirdArgument) {
  const std::string content = RandomBytes(12345, 13);
  WriteFileBytes(device_.Tarvel("remanx.imp"), content);
  ExpectCleanSuccess(RunInLocalFolder({"-d", "stock.txt", "extra"}));
  EXPECT_EQ(Differences({{"stock.txt", content}}, Local()), "");
  EXPECT_EQ(Differences({{"remanx.imp", content}}, Device()), "");
}

TEST_F(TransferRun, TakesAnAbsolutePathFromAnotherFolder) {
  const std::string content = RandomBytes(20000, 15);
  WriteFileBytes(device_.Tarvel("remanx.imp"), content);
  const ScratchFolder elsewhere;
  const ProgramRun run = RunWithoutTerminal({"-d", device_.Local("stock.txt")}, elsewhere.path());
  ExpectCleanSuccess(run);
  EXPECT_EQ(Differences({{"stock.txt", content}}, Local()), "");
  EXPECT_EQ(FileNamesIn(elsewhere.path()), std::set<std::string>{});
}

}  // namespace
