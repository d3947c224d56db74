// A run a person waits through or stops, with the real program bound to the
// device simulator: stops at every moment of a copy, what a killed run leaves
// for the next, and the lines that say what the program is waiting for.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
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
constexpr const char* kStoppedAfterLine = "FileCopy: copy stopped after it was complete\n";
constexpr const char* kStoppedAfterLineInPolish =
    "FileCopy: kopiowanie przerwane po jego zakonczeniu\n";
constexpr const char* kLateAnswer = "FILECOPY_SIM_LATE_ANSWER";
// How late the device answers at the moments that wait for its answer.
constexpr auto kAnswersLate = 2500ms;

// strace, for the moments it holds the program in by delaying one call. A
// sanitized build's leak check cannot run under a tracer.
const std::vector<std::string> kTracer = {FILECOPY_STRACE, "-qq", "-o",
                                          "/dev/null",     "-E",  "ASAN_OPTIONS=detect_leaks=0"};

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

// A name too long for the rest is cut, so only its start is looked for.
bool HoldsATemporaryFile(const fs::path& folder, const std::string& of = "stock.txt") {
  for (const std::string& name : FileNamesIn(folder)) {
    if (name.rfind(of.substr(0, 200), 0) == 0 && name.find(".filecopy-") != std::string::npos) {
      return true;
    }
  }
  return false;
}

class RunningCopy : public ::testing::Test {
 protected:
  // through: a program that runs it (a tracer), its arguments before the program's path.
  ChildProcess Start(const std::vector<std::string>& arguments,
                     const std::string& program = kProgram, int ignored_signal = 0,
                     const std::vector<std::string>& through = {}) const {
    ChildProcess::Options options;
    options.arguments = arguments;
    options.directory = device_.local_folder();
    options.error_file = capture_ / "stderr";
    options.ignored_signal = ignored_signal;
    if (through.empty()) return ChildProcess(program, options);
    options.arguments.assign(through.begin() + 1, through.end());
    options.arguments.push_back(program);
    options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
    return ChildProcess(through.front(), options);
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
  // Held there by strace, which delays one call by a second.
  kBetweenFlushAndRename,   // the download's data on the disk, its name not yet
  kAfterRename,             // the download in place, its folder being flushed
  kAfterRenameFlushFails,   // the same, the folder's flush failing then
  kBetweenCloseAndReplace,  // the upload's device file closed, not yet in place
  // The device has done the call and answers late: the old file deleted, the
  // upload moved into place, the download's connection closed.
  kDeleteAnsweringLate,
  kMoveAnsweringLate,
  kLastCallAnsweringLate,
  // The device's next read, which fails, has begun: the stop came first.
  kBeforeAFailure,
  // -u of a FIFO.
  kOpeningAFifo,            // nobody has opened it for writing
  kJustBeforeOpeningAFifo,  // held by strace in the look at it just before the open
  kReadingAStalledFifo,     // its writer stopped part-way
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

bool IsUpload(Moment moment) {
  return moment == Moment::kUploading || moment == Moment::kBetweenCloseAndReplace ||
         moment == Moment::kOpeningAFifo || moment == Moment::kJustBeforeOpeningAFifo ||
         moment == Moment::kReadingAStalledFifo || moment == Moment::kHungUploading ||
         moment == Moment::kDeleteAnsweringLate || moment == Moment::kMoveAnsweringLate;
}

// The call that answers late at the moment, if any, as the simulator's log names it.
const char* AnsweringLate(Moment moment) {
  switch (moment) {
    case Moment::kDeleteAnsweringLate: return "CeDeleteFile";
    case Moment::kMoveAnsweringLate: return "CeMoveFile";
    case Moment::kLastCallAnsweringLate: return "CeRapiUninit";
    default: return nullptr;
  }
}

bool IsWaiting(Moment moment) {
  return moment == Moment::kWaitingForEvent || moment == Moment::kWaitingInCeRapiInit;
}

// The program a tracer started, once it runs; strace starts others of its own first.
pid_t ProgramTracedBy(pid_t tracer, const std::string& program) {
  const std::string children =
      "/proc/" + std::to_string(tracer) + "/task/" + std::to_string(tracer) + "/children";
  pid_t found = -1;
  Eventually([&] {
    std::istringstream pids(ReadFileBytes(children));
    for (pid_t pid = 0; pids >> pid;) {
      std::error_code unreadable;
      if (fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", unreadable) == program) {
        found = pid;
      }
    }
    return found > 0;
  });
  return found;
}

class StoppedCopy : public RunningCopy, public ::testing::WithParamInterface<StopCase> {
 protected:
  // The tracer that holds the program at the moment, if it needs one.
  std::vector<std::string> Tracer(Moment moment) const {
    std::vector<std::string> held;
    switch (moment) {
      case Moment::kBetweenFlushAndRename:
        held = {"-e", "inject=fsync:delay_exit=1000000:when=1"};
        break;
      case Moment::kAfterRename: held = {"-e", "inject=fsync:delay_exit=1000000:when=2"}; break;
      case Moment::kAfterRenameFlushFails:
        held = {"-e", "inject=fsync:error=EIO:delay_exit=1000000:when=2"};
        break;
      case Moment::kBetweenCloseAndReplace:
        held = {"-P", device_.Tarvel("remanx.exp.filecopy"), "-e", "trace=close",
                "-e", "inject=close:delay_exit=1000000"};
        break;
      // The stop's handler runs as the look returns, before the open begins.
      case Moment::kJustBeforeOpeningAFifo:
        held = {"-P", capture_ / "fifo",
                "-e", "trace=%%stat",
                "-e", "inject=%%stat:delay_exit=1000000:when=1"};
        break;
      default: return {};
    }
    held.insert(held.begin(), kTracer.begin(), kTracer.end());
    return held;
  }

  int fifo_writer_ = -1;

  void TearDown() override {
    if (fifo_writer_ >= 0) close(fifo_writer_);
  }
};

TEST_P(StoppedCopy, TidiesBothSidesAndEndsByTheSignal) {
  const Moment moment = GetParam().moment;
  const bool upload = IsUpload(moment);
  const std::vector<std::string> tracer = Tracer(moment);
  if (!tracer.empty() && std::string(FILECOPY_STRACE).empty()) {
    GTEST_SKIP() << "strace is not installed (scripts/install-dependencies.sh installs it)";
  }
  WriteFileBytes(device_.Tarvel("remanx.imp"), export_);
  WriteFileBytes(device_.Tarvel("remanx.exp"), RandomBytes(3000, 33));
  WriteFileBytes(device_.Local("stock.txt"), upload ? source_ : RandomBytes(5000, 34));
  const bool hung = moment == Moment::kHungDownloading || moment == Moment::kHungUploading;
  if (hung) {
    SimulatedDevice::Inject(kHangAfter, std::to_string(kHangsAfter));
  } else {
    SimulatedDevice::Inject(IsWaiting(moment) ? kConnectDelay : kCallDelay,
                            IsWaiting(moment) ? "60000" : "20");
  }
  if (GetParam().in_polish) SimulatedDevice::Inject("FILECOPY_LANGUAGE", "pl");
  const char* late = AnsweringLate(moment);
  if (late != nullptr) {
    SimulatedDevice::Inject(kLateAnswer,
                            std::string(late) + ":" + std::to_string(kAnswersLate.count()));
  }
  if (moment == Moment::kBeforeAFailure) {
    SimulatedDevice::Inject(kCallDelay, "300");
    SimulatedDevice::Inject("FILECOPY_SIM_FAIL_READ_AFTER", std::to_string(3 * kChunk));
  }
  FolderSnapshot local = Local();
  FolderSnapshot device = Device();
  // A stop cannot wait for the hanging call to tidy the device: what was
  // written stays in the upload's temporary file, for the next upload to
  // overwrite.
  if (moment == Moment::kHungUploading) {
    device["remanx.exp.filecopy"] = source_.substr(0, kHangsAfter);
  }
  std::string source = "stock.txt";
  if (moment == Moment::kOpeningAFifo || moment == Moment::kJustBeforeOpeningAFifo ||
      moment == Moment::kReadingAStalledFifo) {
    source = capture_ / "fifo";
    ASSERT_EQ(mkfifo(source.c_str(), 0600), 0);
  }
  if (moment == Moment::kReadingAStalledFifo) {
    // A writer that stays, having written three chunks.
    fifo_writer_ = open(source.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(write(fifo_writer_, source_.data(), 3 * kChunk), static_cast<ssize_t>(3 * kChunk));
  }

  const std::string& program_file =
      moment == Moment::kWaitingInCeRapiInit ? kBlockingProgram : kProgram;
  ChildProcess child = Start({upload ? "-u" : "-d", source}, program_file, 0, tracer);
  ASSERT_EQ(child.start_failure(), "");
  const pid_t program = tracer.empty() ? child.pid() : ProgramTracedBy(child.pid(), program_file);
  ASSERT_GT(program, 0);
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
    // All the writer gave is on the device; the next read waits for more.
    case Moment::kUploading:
    case Moment::kReadingAStalledFifo:
      ASSERT_TRUE(Copying("CeWriteFile(")) << device_.Calls();
      break;
    // Well inside the call the tracer holds for a second.
    case Moment::kBetweenFlushAndRename:
      ASSERT_TRUE(Eventually([&] { return Count(device_.Calls(), "CeCloseHandle(") == 1; }));
      std::this_thread::sleep_for(300ms);
      break;
    case Moment::kAfterRename:
    case Moment::kAfterRenameFlushFails:
      ASSERT_TRUE(Eventually([&] { return ReadFileBytes(device_.Local("stock.txt")) == export_; }));
      local["stock.txt"] = export_;
      break;
    case Moment::kBetweenCloseAndReplace:
      ASSERT_TRUE(Eventually([&] { return Count(device_.Calls(), "CeWriteFile(") == 150; }));
      std::this_thread::sleep_for(300ms);
      break;
    case Moment::kBeforeAFailure:
      ASSERT_TRUE(Copying("CeReadFile(")) << device_.Calls();
      std::this_thread::sleep_for(100ms);
      break;
    case Moment::kOpeningAFifo:
    case Moment::kJustBeforeOpeningAFifo: ASSERT_TRUE(child.StillRunningAfter(300ms)); break;
    case Moment::kHungDownloading:
    case Moment::kHungUploading:
      ASSERT_TRUE(Eventually([&] { return Count(device_.Calls(), ") hangs") == 1; }));
      break;
    // Its work done, the answer more than a second away.
    case Moment::kDeleteAnsweringLate:
    case Moment::kMoveAnsweringLate:
    case Moment::kLastCallAnsweringLate:
      ASSERT_TRUE(Eventually([&] { return Count(device_.Calls(), " ms late\n") == 1; }))
          << device_.Calls();
      ASSERT_EQ(ParseCalls(device_.Calls()).back().entry, late) << device_.Calls();
      std::this_thread::sleep_for(300ms);
      if (upload) device["remanx.exp"] = source_;
      if (!upload) local["stock.txt"] = export_;
      break;
  }
  const auto signalled = Clock::now();
  kill(program, GetParam().signal_number);
  EXPECT_EQ(child.Wait(kSettle), KilledBy(GetParam().signal_number));
  // The upload's replacement is waited for, never cut in two.
  EXPECT_LT(Clock::now() - signalled, upload && late ? kStopsWithin + kAnswersLate : kStopsWithin);

  const bool complete =
      moment == Moment::kAfterRename || moment == Moment::kAfterRenameFlushFails || late != nullptr;
  const char* line = complete ? kStoppedAfterLine : kStoppedLine;
  if (GetParam().in_polish) line = complete ? kStoppedAfterLineInPolish : kStoppedLineInPolish;
  EXPECT_EQ(Errors(), line);
  EXPECT_EQ(Differences(local, Local()), "") << "local folder";
  EXPECT_EQ(Differences(device, Device()), "") << "device";
  // A stop inside CeRapiInit or a hanging call ends the process there;
  // anything else, after CeRapiUninit. Blocked opening its source, an upload
  // has not contacted the device.
  if (moment == Moment::kOpeningAFifo || moment == Moment::kJustBeforeOpeningAFifo) {
    EXPECT_EQ(device_.Calls(), "");
  } else if (moment != Moment::kWaitingInCeRapiInit && !hung) {
    EXPECT_TRUE(DeviceReleased(ParseCalls(device_.Calls()))) << device_.Calls();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Signals, StoppedCopy,
    ::testing::Values(
        StopCase{"InterruptWhileWaiting", SIGINT, Moment::kWaitingForEvent},
        StopCase{"TermWhileWaitingInPolish", SIGTERM, Moment::kWaitingForEvent, true},
        StopCase{"HangUpWhileWaiting", SIGHUP, Moment::kWaitingForEvent},
        StopCase{"QuitWhileWaiting", SIGQUIT, Moment::kWaitingForEvent},
        StopCase{"InterruptInCeRapiInit", SIGINT, Moment::kWaitingInCeRapiInit},
        StopCase{"TermInCeRapiInitInPolish", SIGTERM, Moment::kWaitingInCeRapiInit, true},
        StopCase{"HangUpInCeRapiInit", SIGHUP, Moment::kWaitingInCeRapiInit},
        StopCase{"InterruptDownloading", SIGINT, Moment::kDownloading},
        StopCase{"TermDownloadingInPolish", SIGTERM, Moment::kDownloading, true},
        StopCase{"HangUpDownloading", SIGHUP, Moment::kDownloading},
        StopCase{"QuitDownloading", SIGQUIT, Moment::kDownloading},
        StopCase{"InterruptUploading", SIGINT, Moment::kUploading},
        StopCase{"TermUploadingInPolish", SIGTERM, Moment::kUploading, true},
        StopCase{"HangUpUploading", SIGHUP, Moment::kUploading},
        StopCase{"QuitUploading", SIGQUIT, Moment::kUploading},
        StopCase{"TermBetweenFlushAndRename", SIGTERM, Moment::kBetweenFlushAndRename},
        StopCase{"TermAfterTheDownloadIsInPlace", SIGTERM, Moment::kAfterRename},
        StopCase{"InterruptAfterTheDownloadIsInPlaceInPolish", SIGINT, Moment::kAfterRename, true},
        StopCase{"TermAfterTheDownloadIsInPlaceAsItsFlushFails", SIGTERM,
                 Moment::kAfterRenameFlushFails},
        StopCase{"TermBetweenCloseAndReplaceOnTheDevice", SIGTERM, Moment::kBetweenCloseAndReplace},
        StopCase{"InterruptWhileTheDeleteAnswersLate", SIGINT, Moment::kDeleteAnsweringLate},
        StopCase{"InterruptWhileTheMoveAnswersLate", SIGINT, Moment::kMoveAnsweringLate},
        StopCase{"InterruptWhileTheDeleteAnswersLateInPolish", SIGINT, Moment::kDeleteAnsweringLate,
                 true},
        StopCase{"InterruptWhileTheLastCallAnswersLate", SIGINT, Moment::kLastCallAnsweringLate},
        StopCase{"TermWhileTheLastCallAnswersLateInPolish", SIGTERM, Moment::kLastCallAnsweringLate,
                 true},
        StopCase{"TermBeforeADeviceReadThatFails", SIGTERM, Moment::kBeforeAFailure},
        StopCase{"TermWhileOpeningAFifo", SIGTERM, Moment::kOpeningAFifo},
        StopCase{"TermJustBeforeOpeningAFifo", SIGTERM, Moment::kJustBeforeOpeningAFifo},
        StopCase{"TermWhileAFifoStalls", SIGTERM, Moment::kReadingAStalledFifo},
        StopCase{"HangUpWhileAFifoStalls", SIGHUP, Moment::kReadingAStalledFifo},
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

// What a killed download leaves, and what the next one must find of it: the
// temporary file beside the file replaced (for a link, the file it leads to),
// and never another target's; where there are no file locks, nothing, as
// nothing proves a file abandoned then.
struct KillCase {
  const char* name;
  const char* target;    // what both downloads are given
  const char* replaced;  // the file that gets the content
  bool link;             // target is a link to replaced
  // Locks as a file system other than the local disk has them
  // (tests/file_locks_shim.cpp); none: the usual.
  const char* locks = nullptr;
};

// The shim preloaded into the programs started while it exists.
class PreloadedLocks {
 public:
  explicit PreloadedLocks(const char* locks) : on_(locks != nullptr) {
    if (!on_) return;
    setenv("LD_PRELOAD", FILECOPY_LOCKS_SHIM, 1);
    setenv("FILECOPY_TEST_LOCKS", locks, 1);
    // A sanitized program wants its runtime first, and the shim needs none.
    const char* options = getenv("ASAN_OPTIONS");
    setenv("ASAN_OPTIONS",
           (std::string(options != nullptr ? options : "") + ":verify_asan_link_order=0").c_str(),
           1);
    saved_options_ = options != nullptr ? std::optional<std::string>(options) : std::nullopt;
  }
  ~PreloadedLocks() {
    if (!on_) return;
    unsetenv("LD_PRELOAD");
    unsetenv("FILECOPY_TEST_LOCKS");
    if (saved_options_) {
      setenv("ASAN_OPTIONS", saved_options_->c_str(), 1);
    } else {
      unsetenv("ASAN_OPTIONS");
    }
  }
  PreloadedLocks(const PreloadedLocks&) = delete;
  PreloadedLocks& operator=(const PreloadedLocks&) = delete;

 private:
  bool on_;
  std::optional<std::string> saved_options_;
};

std::ostream& operator<<(std::ostream& out, const KillCase& test) { return out << test.name; }

class KilledCopy : public RunningCopy, public ::testing::WithParamInterface<KillCase> {};

// Abandoned, so taken if it were mistaken for the target's own: one whose
// name ends alike, and one whose name is as long.
const char* const kOtherTargetsTemporaryFiles[] = {"old-stock.txt.filecopy-a1b2c3",
                                                   "stack.txt.filecopy-a1b2c3"};
// Names the temporary name's 16 bytes would take past the longest a name may be
// (255 bytes): one with room for a few of them, and the longest.
const std::string kLongName = std::string(246, 's') + ".txt";
const std::string kLongestName = std::string(251, 's') + ".txt";

TEST_P(KilledCopy, LeavesATemporaryFileThatTheNextDownloadRemoves) {
  const KillCase& row = GetParam();
  WriteFileBytes(device_.Tarvel("remanx.imp"), export_);
  for (const char* name : kOtherTargetsTemporaryFiles) {
    WriteFileBytes(device_.Local(name), "another target's");
  }
  if (row.link) {
    WriteFileBytes(device_.Local(row.replaced), "old");
    fs::create_symlink(row.replaced, device_.Local(row.target));
  }
  const PreloadedLocks locks(row.locks);
  FolderSnapshot expected = Local();
  expected[row.replaced] = export_;
  SimulatedDevice::Inject(kCallDelay, "20");
  {
    ChildProcess child = Start({"-d", row.target});
    ASSERT_TRUE(Copying("CeReadFile(")) << device_.Calls();
    child.Signal(SIGKILL);
    ASSERT_EQ(child.Wait(kSettle), KilledBy(SIGKILL));
  }
  ASSERT_TRUE(HoldsATemporaryFile(device_.local_folder(), row.replaced)) << "nothing to tidy up";
  const bool without_locks = row.locks != nullptr && std::string(row.locks) == "none";
  if (without_locks) {
    expected = Local();
    expected[row.replaced] = export_;
  }
  unsetenv(kCallDelay);
  const ProgramRun run = RunWithoutTerminal({"-d", row.target}, device_.local_folder());
  EXPECT_EQ(run.status, ExitedWith(0)) << run.errors;
  EXPECT_EQ(Differences(expected, Local()), "");
}

INSTANTIATE_TEST_SUITE_P(
    Targets, KilledCopy,
    ::testing::Values(KillCase{"File", "stock.txt", "stock.txt", false},
                      KillCase{"ThroughALink", "link.txt", "stock.txt", true},
                      KillCase{"WithoutFileLocks", "stock.txt", "stock.txt", false, "none"},
                      KillCase{"WithLocksAsNfsHasThem", "stock.txt", "stock.txt", false, "nfs"},
                      KillCase{"OfALongName", kLongName.c_str(), kLongName.c_str(), false},
                      KillCase{"OfTheLongestName", kLongestName.c_str(), kLongestName.c_str(),
                               false}),
    [](const ::testing::TestParamInfo<KillCase>& test) { return std::string(test.param.name); });

// The second starts while the first is part-way, or about to rename its
// temporary file into place (held there by strace), so its tidying meets the
// first one's temporary file, and must leave it alone.
class TwoDownloads : public RunningCopy, public ::testing::WithParamInterface<bool> {};

TEST_P(TwoDownloads, OfOneTargetAtOnceBothEndWhole) {
  const bool before_rename = GetParam();
  if (before_rename && std::string(FILECOPY_STRACE).empty()) {
    GTEST_SKIP() << "strace is not installed (scripts/install-dependencies.sh installs it)";
  }
  WriteFileBytes(device_.Tarvel("remanx.imp"), export_);
  SimulatedDevice::Inject(kCallDelay, "10");
  std::vector<std::string> tracer;
  if (before_rename) {
    tracer = kTracer;
    tracer.insert(tracer.end(), {"-e", "trace=rename", "-e", "inject=rename:delay_enter=1500000"});
  }
  ChildProcess first = Start({"-d", "stock.txt"}, kProgram, 0, tracer);
  if (before_rename) {
    ASSERT_TRUE(Eventually([&] { return Count(device_.Calls(), "CeCloseHandle(") == 1; }));
    std::this_thread::sleep_for(100ms);
  } else {
    ASSERT_TRUE(Copying("CeReadFile(")) << device_.Calls();
  }
  const ProgramRun second = RunWithoutTerminal({"-d", "stock.txt"}, device_.local_folder());
  EXPECT_EQ(second.status, ExitedWith(0)) << second.errors;
  EXPECT_EQ(first.Wait(kSettle), ExitedWith(0)) << Errors();
  EXPECT_EQ(Differences({{"stock.txt", export_}}, Local()), "");
}

INSTANTIATE_TEST_SUITE_P(Moments, TwoDownloads, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& test) {
                           return std::string(test.param ? "BeforeTheFirstRenames" : "PartWay");
                         });

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
const std::vector<std::string> kProgress = {"Copied ", " of 1,638,400 bytes ("};
const std::vector<std::string> kProgressInPolish = {"Skopiowano ", " z 1 638 400 bajtow ("};
const std::vector<std::string> kWaitingInPolish = {
    "Czekam na polaczenie z terminalem... (Ctrl+C przerywa)"};

struct StatusCase {
  const char* name;
  Direction direction;
  const char* variable;
  const char* value;
  const char* language;
  bool on_terminal;
  std::vector<std::string> shown;          // what the terminal shows; nothing redirected
  std::size_t size_queries;                // CeGetFileSize calls
  const char* read_fails_after = nullptr;  // the device's read fails after that many bytes
  // 4 GiB less a byte, whose size reads as the all-ones that also means failure.
  bool export_of_all_ones_bytes = false;
  std::vector<std::string> not_shown = {};
};

std::ostream& operator<<(std::ostream& out, const StatusCase& test) { return out << test.name; }

// Every "copied X of Y bytes (P%)" on the screen, with P checked against X
// and Y; how many there were.
std::size_t CheckedPercentages(const std::string& screen) {
  static const std::regex kShown[] = {
      std::regex("Copied ([0-9,]+) of ([0-9,]+) bytes \\(([0-9]+)%\\)"),
      std::regex("Skopiowano ([0-9 ]+) z ([0-9 ]+) bajtow \\(([0-9]+)%\\)")};
  const auto number = [](const std::string& digits) {
    return std::stoull(std::regex_replace(digits, std::regex("[, ]"), ""));
  };
  std::size_t count = 0;
  for (const std::regex& shown : kShown) {
    for (auto match = std::sregex_iterator(screen.begin(), screen.end(), shown);
         match != std::sregex_iterator(); ++match, ++count) {
      EXPECT_EQ(number((*match)[3]), number((*match)[1]) * 100 / number((*match)[2]))
          << match->str();
    }
  }
  return count;
}

class StatusLines : public RunningCopy, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(StatusLines, AreShownOnATerminalOnlyAndClearedAtTheEnd) {
  const StatusCase& row = GetParam();
  // A second and a half of copying at 10 ms a chunk.
  const std::string content = RandomBytes(160 * kChunk, 35);
  const bool download = row.direction == Direction::kDownload;
  WriteFileBytes(download ? device_.Tarvel("remanx.imp") : device_.Local("stock.txt"), content);
  if (row.export_of_all_ones_bytes) fs::resize_file(device_.Tarvel("remanx.imp"), 0xFFFFFFFFU);
  SimulatedDevice::Inject(row.variable, row.value);
  SimulatedDevice::Inject("FILECOPY_LANGUAGE", row.language);
  if (row.read_fails_after) {
    SimulatedDevice::Inject("FILECOPY_SIM_FAIL_READ_AFTER", row.read_fails_after);
  }
  ChildProcess::Options options;
  options.arguments = {download ? "-d" : "-u", "stock.txt"};
  options.directory = device_.local_folder();
  options.terminal =
      row.on_terminal ? ChildProcess::Terminal::kPseudo : ChildProcess::Terminal::kNone;
  options.input = ChildProcess::Input::kNull;
  if (!row.on_terminal) options.error_file = capture_ / "stderr";
  ChildProcess child(kProgram, options);
  ASSERT_EQ(child.start_failure(), "");
  const bool fails = row.read_fails_after != nullptr;
  if (fails) {
    // The failure's message waits on the terminal for Enter.
    ASSERT_TRUE(child.WaitForScreen(
        [](const std::string& screen) { return screen.find("[ OK ]") != std::string::npos; },
        kSettle))
        << child.Screen();
    child.Type("\r");
  }
  EXPECT_EQ(child.Wait(kSettle), ExitedWith(fails ? 1 : 0));

  // What the status lines left before a failure's line, if any.
  const std::string full_screen = child.Screen();
  const std::string screen = full_screen.substr(0, full_screen.find("FileCopy: "));
  for (const std::string& text : row.shown) {
    EXPECT_NE(screen.find(text), std::string::npos) << screen;
  }
  for (const std::string& text : row.not_shown) {
    EXPECT_EQ(screen.find(text), std::string::npos) << screen;
  }
  const std::size_t percentages = CheckedPercentages(screen);
  if (row.shown == kProgress || row.shown == kProgressInPolish) {
    EXPECT_GT(percentages, 0U) << screen;
  }
  // At most four times a second, over half a second or so of copying.
  if (!row.shown.empty()) {
    EXPECT_LE(Count(screen, "\r" + row.shown.front()), 6U) << screen;
  }
  if (row.on_terminal && row.shown.empty()) {
    EXPECT_EQ(screen, "") << "nothing was to be shown";
  } else if (row.on_terminal) {
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
  if (fails) {
    EXPECT_EQ(FileNamesIn(device_.local_folder()), std::set<std::string>{});
  } else {
    EXPECT_EQ(ReadFileBytes(download ? device_.Local("stock.txt") : device_.Tarvel("remanx.exp")),
              content);
  }
}

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
        // The failure's line begins on a clean line.
        StatusCase{"DownloadFailingPartWayOnATerminal", Direction::kDownload, kCallDelay, "10",
                   "en", true, kProgress, 1, "1228800"},
        // The size it reads as a failure's value, so the bytes only.
        StatusCase{"DownloadOfAllOnesBytesOnATerminal",
                   Direction::kDownload,
                   kCallDelay,
                   "10",
                   "en",
                   true,
                   {"Copied ", " bytes"},
                   1,
                   "1228800",
                   true,
                   {" of ", "%"}},
        StatusCase{"WaitOnATerminalInPolish", Direction::kDownload, kConnectDelay, "1500", "pl",
                   true, kWaitingInPolish, 0},
        // A device that docks within the first second is waited for without a word.
        StatusCase{
            "QuickDockOnATerminal", Direction::kDownload, kConnectDelay, "400", "en", true, {}, 0},
        StatusCase{
            "WaitRedirected", Direction::kDownload, kConnectDelay, "1500", "en", false, {}, 0}),
    [](const ::testing::TestParamInfo<StatusCase>& test) { return std::string(test.param.name); });

}  // namespace
