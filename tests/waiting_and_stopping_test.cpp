// A run a person waits through or stops, with the real program bound to the
// device simulator: stops at every moment of a copy, what a killed run leaves
// for the next, and the lines that say what the program is waiting for.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/child_process.h"
#include "tests/end_to_end_support.h"
#include "tests/scratch.h"
#include "tests/simulated_device.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// The program bound to a simulator without CeRapiInitEx, whose CeRapiInit
// blocks until the device docks.
const std::string kBlockingProgram = FILECOPY_PROGRAM_WITHOUT_INIT_EX;

constexpr std::size_t kChunk = 10240;
constexpr auto kSettle = 10s;
// How soon after the signal a stopped copy must be gone: about a chunk.
constexpr auto kStopsWithin = 2s;
constexpr const char* kConnectDelay = "FILECOPY_SIM_CONNECT_DELAY_MS";
constexpr const char* kCallDelay = "FILECOPY_SIM_CALL_DELAY_MS";
constexpr const char* kHangAfter = "FILECOPY_SIM_HANG_AFTER";
// Where a hanging link stops a copy: after three chunks.
constexpr std::size_t kHangsAfter = 3 * kChunk;
constexpr const char* kStoppedLine = "FileCopy: copy stopped before it was complete\n";
constexpr const char* kStoppedLineInPolish =
    "FileCopy: kopiowanie przerwane przed jego zakonczeniem\n";

bool Eventually(const std::function<bool()>& done, Clock::duration limit = kSettle) {
  const auto deadline = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
    ++count;
  }
  return count;
}

bool HoldsATemporaryFile(const fs::path& folder) {
  for (const std::string& name : FileNamesIn(folder)) {
    if (name.rfind("stock.txt.filecopy-", 0) == 0) return true;
  }
  return false;
}

class RunningCopy : public ::testing::Test {
 protected:
  ChildProcess Start(const std::vector<std::string>& arguments,
                     const std::string& program = kProgram, int ignored_signal = 0) const {
    ChildProcess::Options options;
    options.arguments = arguments;
    options.directory = device_.local_folder();
    options.error_file = capture_ / "stderr";
    options.ignored_signal = ignored_signal;
    return ChildProcess(program, options);
  }
  std::string Errors() const { return ReadFileBytes(capture_ / "stderr"); }
  bool Copying(const char* call) const {
    return Eventually([&] { return Count(device_.Calls(), call) >= 3; });
  }
  FolderSnapshot Local() const { return Snapshot(device_.local_folder()); }
  FolderSnapshot Device() const { return Snapshot(device_.tarvel_folder()); }

  SimulatedDevice device_;
  ScratchFolder capture_;
  // 150 chunks, three seconds over a slow link: a stop noticed only at the
  // end would come later than a stop must.
  const std::string export_ = RandomBytes(150 * kChunk, 31);
  const std::string source_ = RandomBytes(150 * kChunk, 32);
};

enum class Direction { kDownload, kUpload };

enum class Moment {
  kWaitingForEvent,
  kWaitingInCeRapiInit,
  kDownloading,
  kUploading,
  // Inside a read or write that never returns.
  kHungDownloading,
  kHungUploading,
};

struct StopCase {
  const char* name;
  int signal_number;
  Moment moment;
  bool in_polish = false;
};

std::ostream& operator<<(std::ostream& out, const StopCase& test) { return out << test.name; }

class StoppedCopy : public RunningCopy, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StoppedCopy, TidiesBothSidesAndEndsByTheSignal) {
  const Moment moment = GetParam().moment;
  const bool upload = moment == Moment::kUploading || moment == Moment::kHungUploading;
  const bool waiting = moment == Moment::kWaitingForEvent || moment == Moment::kWaitingInCeRapiInit;
  const bool hung = moment == Moment::kHungDownloading || moment == Moment::kHungUploading;
  WriteFileBytes(device_.Tarvel("remanx.imp"), export_);
  WriteFileBytes(device_.Tarvel("remanx.exp"), RandomBytes(3000, 33));
  WriteFileBytes(device_.Local("stock.txt"), upload ? source_ : RandomBytes(5000, 34));
  if (hung) {
    SimulatedDevice::Inject(kHangAfter, std::to_string(kHangsAfter));
  } else {
    SimulatedDevice::Inject(waiting ? kConnectDelay : kCallDelay, waiting ? "60000" : "20");
  }
  if (GetParam().in_polish) SimulatedDevice::Inject("FILECOPY_LANGUAGE", "pl");
  const FolderSnapshot local = Local();
  FolderSnapshot device = Device();
  // A stop cannot wait for the hanging call to tidy the device: what was
  // written stays in the upload's temporary file, for the next upload to
  // overwrite.
  if (moment == Moment::kHungUploading) {
    device["remanx.exp.filecopy"] = source_.substr(0, kHangsAfter);
  }

  ChildProcess child = Start({upload ? "-u" : "-d", "stock.txt"},
                             moment == Moment::kWaitingInCeRapiInit ? kBlockingProgram : kProgram);
  ASSERT_EQ(child.start_failure(), "");
  switch (moment) {
    case Moment::kWaitingForEvent:
      ASSERT_TRUE(Eventually([&] { return Count(device_.Calls(), "CeRapiInitEx(") == 1; }));
      break;
    case Moment::kWaitingInCeRapiInit:
      // The download's temporary file comes before the connection.
      ASSERT_TRUE(Eventually([&] { return HoldsATemporaryFile(device_.local_folder()); }));
      ASSERT_TRUE(child.StillRunningAfter(200ms));
      break;
    case Moment::kDownloading: ASSERT_TRUE(Copying("CeReadFile(")) << device_.Calls(); break;
    case Moment::kUploading: ASSERT_TRUE(Copying("CeWriteFile(")) << device_.Calls(); break;
    case Moment::kHungDownloading:
    case Moment::kHungUploading:
      ASSERT_TRUE(Eventually([&] { return Count(device_.Calls(), ") hangs") == 1; }));
      break;
  }
  const auto signalled = Clock::now();
  child.Signal(GetParam().signal_number);
  EXPECT_EQ(child.Wait(kSettle), KilledBy(GetParam().signal_number));
  EXPECT_LT(Clock::now() - signalled, kStopsWithin);

  EXPECT_EQ(Errors(), GetParam().in_polish ? kStoppedLineInPolish : kStoppedLine);
  EXPECT_EQ(Differences(local, Local()), "") << "local folder";
  EXPECT_EQ(Differences(device, Device()), "") << "device";
  // A stop inside CeRapiInit or a hanging call ends the process there;
  // anything else, after CeRapiUninit.
  if (moment != Moment::kWaitingInCeRapiInit && !hung) {
    EXPECT_TRUE(DeviceReleased(ParseCalls(device_.Calls()))) << device_.Calls();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Signals, StoppedCopy,
    ::testing::Values(
        StopCase{"InterruptWhileWaiting", SIGINT, Moment::kWaitingForEvent},
        StopCase{"TermWhileWaitingInPolish", SIGTERM, Moment::kWaitingForEvent, true},
        StopCase{"HangUpWhileWaiting", SIGHUP, Moment::kWaitingForEvent},
        StopCase{"InterruptInCeRapiInit", SIGINT, Moment::kWaitingInCeRapiInit},
        StopCase{"TermInCeRapiInitInPolish", SIGTERM, Moment::kWaitingInCeRapiInit, true},
        StopCase{"HangUpInCeRapiInit", SIGHUP, Moment::kWaitingInCeRapiInit},
        StopCase{"InterruptDownloading", SIGINT, Moment::kDownloading},
        StopCase{"TermDownloadingInPolish", SIGTERM, Moment::kDownloading, true},
        StopCase{"HangUpDownloading", SIGHUP, Moment::kDownloading},
        StopCase{"InterruptUploading", SIGINT, Moment::kUploading},
        StopCase{"TermUploadingInPolish", SIGTERM, Moment::kUploading, true},
        StopCase{"HangUpUploading", SIGHUP, Moment::kUploading},
        StopCase{"TermInAHungRead", SIGTERM, Moment::kHungDownloading},
        StopCase{"InterruptInAHungWriteInPolish", SIGINT, Moment::kHungUploading, true}),
    [](const ::testing::TestParamInfo<StopCase>& test) { return std::string(test.param.name); });

// Started by nohup, a copy must outlive the terminal it was started from.
TEST_F(RunningCopy, ASignalIgnoredOnArrivalStaysIgnored) {
  WriteFileBytes(device_.Tarvel("remanx.imp"), export_);
  SimulatedDevice::Inject(kCallDelay, "5");
  ChildProcess child = Start({"-d", "stock.txt"}, kProgram, SIGHUP);
  ASSERT_TRUE(Copying("CeReadFile(")) << device_.Calls();
  child.Signal(SIGHUP);
  EXPECT_EQ(child.Wait(kSettle), ExitedWith(0));
  EXPECT_EQ(Errors(), "");
  EXPECT_EQ(Differences({{"stock.txt", export_}}, Local()), "");
}

using KilledCopy = RunningCopy;

TEST_F(KilledCopy, LeavesATemporaryFileThatTheNextDownloadRemoves) {
  WriteFileBytes(device_.Tarvel("remanx.imp"), export_);
  SimulatedDevice::Inject(kCallDelay, "20");
  {
    ChildProcess child = Start({"-d", "stock.txt"});
    ASSERT_TRUE(Copying("CeReadFile(")) << device_.Calls();
    child.Signal(SIGKILL);
    ASSERT_EQ(child.Wait(kSettle), KilledBy(SIGKILL));
  }
  ASSERT_TRUE(HoldsATemporaryFile(device_.local_folder())) << "nothing to tidy up";
  unsetenv(kCallDelay);
  const ProgramRun run = RunWithoutTerminal({"-d", "stock.txt"}, device_.local_folder());
  EXPECT_EQ(run.status, ExitedWith(0)) << run.errors;
  EXPECT_EQ(Differences({{"stock.txt", export_}}, Local()), "");
}

// The second starts while the first is part-way, so its tidying meets the
// first one's temporary file, and must leave it alone.
TEST_F(KilledCopy, TwoDownloadsOfOneTargetAtOnceBothEndWhole) {
  WriteFileBytes(device_.Tarvel("remanx.imp"), export_);
  SimulatedDevice::Inject(kCallDelay, "10");
  ChildProcess first = Start({"-d", "stock.txt"});
  ASSERT_TRUE(Copying("CeReadFile(")) << device_.Calls();
  const ProgramRun second = RunWithoutTerminal({"-d", "stock.txt"}, device_.local_folder());
  EXPECT_EQ(second.status, ExitedWith(0)) << second.errors;
  EXPECT_EQ(first.Wait(kSettle), ExitedWith(0)) << Errors();
  EXPECT_EQ(Differences({{"stock.txt", export_}}, Local()), "");
}

// The link hangs after the progress line has shown: the report that the bound
// brings starts on a clean line, and the message waits on the terminal.
TEST_F(RunningCopy, AHangAfterTheProgressLineIsReportedOnACleanLine) {
  WriteFileBytes(device_.Tarvel("remanx.imp"), export_);
  SimulatedDevice::Inject(kCallDelay, "10");
  SimulatedDevice::Inject(kHangAfter, std::to_string(130 * kChunk));
  SimulatedDevice::Inject("FILECOPY_CALL_TIMEOUT", "1");
  ChildProcess::Options options;
  options.arguments = {"-d", "stock.txt"};
  options.directory = device_.local_folder();
  options.terminal = ChildProcess::Terminal::kPseudo;
  options.input = ChildProcess::Input::kNull;
  ChildProcess child(kProgram, options);
  ASSERT_EQ(child.start_failure(), "");
  ASSERT_TRUE(child.WaitForScreen(
      [](const std::string& screen) { return screen.find("[ OK ]") != std::string::npos; },
      std::chrono::duration_cast<std::chrono::milliseconds>(kSettle)))
      << child.Screen();
  child.Type("\r");
  EXPECT_EQ(child.Wait(std::chrono::duration_cast<std::chrono::milliseconds>(kSettle)),
            ExitedWith(2));
  const std::string screen = child.Screen();
  const std::size_t line =
      screen.find("FileCopy: the handheld stopped answering during CeReadFile");
  ASSERT_NE(line, std::string::npos) << screen;
  ASSERT_NE(screen.find("Copied "), std::string::npos) << screen;
  EXPECT_EQ(screen[line - 1], '\r') << screen;
  EXPECT_EQ(FileNamesIn(device_.local_folder()), std::set<std::string>{}) << "a file was left";
}

// The lines that tell someone watching what goes on, and their absence from
// redirected output.
struct StatusCase {
  const char* name;
  Direction direction;
  const char* variable;
  const char* value;
  const char* language;
  bool on_terminal;
  std::vector<std::string> shown;  // what the terminal shows; nothing redirected
  std::size_t size_queries;        // CeGetFileSize calls
};

std::ostream& operator<<(std::ostream& out, const StatusCase& test) { return out << test.name; }

class StatusLines : public RunningCopy, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(StatusLines, AreShownOnATerminalOnlyAndClearedAtTheEnd) {
  const StatusCase& row = GetParam();
  // A second and a half of copying at 10 ms a chunk.
  const std::string content = RandomBytes(160 * kChunk, 35);
  const bool download = row.direction == Direction::kDownload;
  WriteFileBytes(download ? device_.Tarvel("remanx.imp") : device_.Local("stock.txt"), content);
  SimulatedDevice::Inject(row.variable, row.value);
  SimulatedDevice::Inject("FILECOPY_LANGUAGE", row.language);
  ChildProcess::Options options;
  options.arguments = {download ? "-d" : "-u", "stock.txt"};
  options.directory = device_.local_folder();
  options.terminal =
      row.on_terminal ? ChildProcess::Terminal::kPseudo : ChildProcess::Terminal::kNone;
  options.input = ChildProcess::Input::kNull;
  if (!row.on_terminal) options.error_file = capture_ / "stderr";
  ChildProcess child(kProgram, options);
  ASSERT_EQ(child.start_failure(), "");
  EXPECT_EQ(child.Wait(kSettle), ExitedWith(0));

  const std::string screen = child.Screen();
  for (const std::string& text : row.shown) {
    EXPECT_NE(screen.find(text), std::string::npos) << screen;
  }
  // At most four times a second, over half a second or so of copying.
  if (!row.shown.empty()) {
    EXPECT_LE(Count(screen, "\r" + row.shown.front()), 6U) << screen;
  }
  if (row.on_terminal) {
    // Cleared: blanks over the whole of the last text, the cursor back at the start.
    ASSERT_GE(screen.size(), 2U);
    EXPECT_EQ(screen.find('\n'), std::string::npos) << screen;
    const std::size_t clearing = screen.rfind('\r', screen.size() - 2);
    const std::size_t last_text = screen.rfind('\r', clearing - 1);
    ASSERT_NE(clearing, std::string::npos) << screen;
    ASSERT_NE(last_text, std::string::npos) << screen;
    EXPECT_EQ(screen.back(), '\r');
    EXPECT_EQ(screen.find_first_not_of(' ', clearing + 1), screen.size() - 1) << screen;
    EXPECT_GE(screen.size() - clearing - 2, clearing - last_text - 1) << screen;
  } else {
    EXPECT_EQ(Errors(), "");
  }
  EXPECT_EQ(Count(device_.Calls(), "CeGetFileSize("), row.size_queries) << device_.Calls();
  EXPECT_EQ(ReadFileBytes(download ? device_.Local("stock.txt") : device_.Tarvel("remanx.exp")),
            content);
}

const std::vector<std::string> kProgress = {"Copied ", " of 1,638,400 bytes ("};
const std::vector<std::string> kProgressInPolish = {"Skopiowano ", " z 1 638 400 bajtow ("};
const std::vector<std::string> kWaitingInPolish = {
    "Czekam na polaczenie z terminalem... (Ctrl+C przerywa)"};

INSTANTIATE_TEST_SUITE_P(
    Lines, StatusLines,
    ::testing::Values(
        StatusCase{"DownloadProgressOnATerminal", Direction::kDownload, kCallDelay, "10", "en",
                   true, kProgress, 1},
        StatusCase{"UploadProgressOnATerminalInPolish", Direction::kUpload, kCallDelay, "10", "pl",
                   true, kProgressInPolish, 0},
        StatusCase{"DownloadProgressRedirected",
                   Direction::kDownload,
                   kCallDelay,
                   "10",
                   "en",
                   false,
                   {},
                   0},
        StatusCase{"WaitOnATerminalInPolish", Direction::kDownload, kConnectDelay, "1500", "pl",
                   true, kWaitingInPolish, 0},
        StatusCase{
            "WaitRedirected", Direction::kDownload, kConnectDelay, "1500", "en", false, {}, 0}),
    [](const ::testing::TestParamInfo<StatusCase>& test) { return std::string(test.param.name); });

}  // namespace
