// The device simulator, loaded the way the program loads it: by path, with
// its entries looked up by name and typed from the program's own list.

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "device/remote_api/remote_entries.h"

namespace {

namespace fs = std::filesystem;

constexpr RapiResult kFail = static_cast<RapiResult>(0x80004005U);
constexpr RapiResult kInvalidArgument = static_cast<RapiResult>(0x80070057U);
constexpr RapiResult kLinkDropped = static_cast<RapiResult>(0x80072775U);
// What a CeRapiInitEx structure holds until the simulator fills it in.
constexpr RapiResult kUnsettled = 0x1234;
constexpr RapiDword kReadWrite = kRapiGenericRead | kRapiGenericWrite;
constexpr const char* kVariables[] = {"FILECOPY_SIM_ROOT",
                                      "FILECOPY_SIM_LOG",
                                      "FILECOPY_SIM_FAIL_CONNECT",
                                      "FILECOPY_SIM_FAIL_OPEN",
                                      "FILECOPY_SIM_FAIL_CLOSE",
                                      "FILECOPY_SIM_FAIL_DELETE",
                                      "FILECOPY_SIM_FAIL_MOVE",
                                      "FILECOPY_SIM_FAIL_READ_AFTER",
                                      "FILECOPY_SIM_FAIL_WRITE_AFTER",
                                      "FILECOPY_SIM_SHORT_WRITE_AFTER",
                                      "FILECOPY_SIM_CONNECT_DELAY_MS",
                                      "FILECOPY_SIM_NO_DEVICE",
                                      "FILECOPY_SIM_CALL_DELAY_MS",
                                      "FILECOPY_SIM_CONNECT_RESULT",
                                      "FILECOPY_SIM_DEVICE_ERROR",
                                      "FILECOPY_SIM_DROP_AFTER",
                                      "FILECOPY_SIM_HANG_AFTER",
                                      "FILECOPY_SIM_LATE_ANSWER"};

struct Entries {
#define FILECOPY_ENTRY_FIELD(name, result, parameters) name##Entry name = nullptr;
  FILECOPY_REMOTE_ENTRIES(FILECOPY_ENTRY_FIELD)
#undef FILECOPY_ENTRY_FIELD
};

Entries Bind(void* library) {
  Entries entries;
#define FILECOPY_BIND_ENTRY(name, result, parameters) \
  entries.name = reinterpret_cast<name##Entry>(dlsym(library, #name));
  FILECOPY_REMOTE_ENTRIES(FILECOPY_BIND_ENTRY)
#undef FILECOPY_BIND_ENTRY
  return entries;
}

// Stays loaded for the whole run, as in the program.
const Entries& Sim() {
  static const Entries entries = Bind(dlopen(FILECOPY_SIMULATOR, RTLD_NOW | RTLD_LOCAL));
  return entries;
}

std::vector<RapiChar> Wide(std::u16string_view text) {
  std::vector<RapiChar> wide(text.begin(), text.end());
  wide.push_back(0);
  return wide;
}

std::optional<std::string> Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Put(const fs::path& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
}

std::int64_t MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start)
      .count();
}

// Whether CeRapiInitEx's event, a descriptor on POSIX, is set within the time.
bool IsSet(RapiHandle event, int milliseconds) {
  pollfd watched{static_cast<int>(event), POLLIN, 0};
  return poll(&watched, 1, milliseconds) == 1 && (watched.revents & POLLIN) != 0;
}

bool IsOpenDescriptor(RapiHandle descriptor) {
  return fcntl(static_cast<int>(descriptor), F_GETFD) != -1;
}

// Whether this process still has the host file open.
bool HostHolds(const fs::path& path) {
  for (const auto& descriptor : fs::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (fs::read_symlink(descriptor.path(), error) == path) return true;
  }
  return false;
}

// A fresh device root, a clean environment and a connection to set up per test.
class SimulatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "simulator-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    root_ = folder_ / "device";
    fs::create_directory(root_);
    for (const char* variable : kVariables) unsetenv(variable);
    Set("FILECOPY_SIM_ROOT", root_.string());
  }

  void TearDown() override {
    Sim().CeRapiUninit();
    fs::remove_all(folder_);
  }

  static void Set(const char* variable, const std::string& value) {
    setenv(variable, value.c_str(), 1);
  }

  static void Connect() { ASSERT_EQ(Sim().CeRapiInit(), 0); }

  // The outcome of connecting through CeRapiInit, or CeRapiInitEx then its event.
  static RapiResult ConnectThrough(bool init_ex) {
    if (!init_ex) return Sim().CeRapiInit();
    RapiInit init{sizeof(RapiInit), 0, kUnsettled};
    EXPECT_EQ(Sim().CeRapiInitEx(&init), 0);
    EXPECT_TRUE(IsSet(init.event, 10000));
    return init.result;
  }

  static RapiHandle Open(std::u16string_view path, RapiDword access, RapiDword share,
                         RapiDword disposition) {
    return Sim().CeCreateFile(Wide(path).data(), access, share, nullptr, disposition,
                              kRapiFileAttributeNormal, 0);
  }

  // The result of one read of up to count bytes, appending what came to data.
  static RapiBool Read(RapiHandle file, RapiDword count, std::string& data) {
    std::string buffer(count, '\0');
    RapiDword got = 0xDEAD;
    const RapiBool result = Sim().CeReadFile(file, buffer.data(), count, &got, nullptr);
    EXPECT_LE(got, count);
    data.append(buffer, 0, got);
    return result;
  }

  // The result of one write, with the count stored appended to counts.
  static RapiBool Write(RapiHandle file, const std::string& data, std::vector<RapiDword>& counts) {
    RapiDword put = 0xDEAD;
    const auto size = static_cast<RapiDword>(data.size());
    const RapiBool result = Sim().CeWriteFile(file, data.data(), size, &put, nullptr);
    counts.push_back(put);
    return result;
  }

  fs::path folder_;
  fs::path root_;
};

using SimulatorConnection = SimulatorTest;

TEST_F(SimulatorConnection, NeedsAnExistingRootAUsableLogAndWellFormedFaults) {
  for (const bool init_ex : {true, false}) {
    SCOPED_TRACE(init_ex ? "CeRapiInitEx" : "CeRapiInit");
    unsetenv("FILECOPY_SIM_ROOT");
    EXPECT_EQ(ConnectThrough(init_ex), kFail);
    Set("FILECOPY_SIM_ROOT", "");
    EXPECT_EQ(ConnectThrough(init_ex), kFail);
    Set("FILECOPY_SIM_ROOT", (folder_ / "absent").string());
    EXPECT_EQ(ConnectThrough(init_ex), kFail);
    Set("FILECOPY_SIM_ROOT", root_.string());
    Set("FILECOPY_SIM_LOG", (folder_ / "absent" / "calls.log").string());
    EXPECT_EQ(ConnectThrough(init_ex), kFail);
    unsetenv("FILECOPY_SIM_LOG");
    Set("FILECOPY_SIM_FAIL_READ_AFTER", "ten");
    EXPECT_EQ(ConnectThrough(init_ex), kFail);
    // Mistyped, a delay fails at once rather than wait, even for no device.
    Set("FILECOPY_SIM_NO_DEVICE", "1");
    EXPECT_EQ(ConnectThrough(init_ex), kFail);
    Set("FILECOPY_SIM_FAIL_READ_AFTER", "10");
    for (const char* delay :
         {"FILECOPY_SIM_CONNECT_DELAY_MS", "FILECOPY_SIM_NO_DEVICE", "FILECOPY_SIM_CALL_DELAY_MS",
          "FILECOPY_SIM_DROP_AFTER", "FILECOPY_SIM_HANG_AFTER", "FILECOPY_SIM_DEVICE_ERROR",
          "FILECOPY_SIM_CONNECT_RESULT"}) {
      Set(delay, "soon");
      EXPECT_EQ(ConnectThrough(init_ex), kFail) << delay;
      unsetenv(delay);
    }
    Set("FILECOPY_SIM_DEVICE_ERROR", "4294967296");
    EXPECT_EQ(ConnectThrough(init_ex), kFail);
    unsetenv("FILECOPY_SIM_DEVICE_ERROR");
    Set("FILECOPY_SIM_CONNECT_RESULT", "0x1234567890");
    EXPECT_EQ(ConnectThrough(init_ex), kFail);
    unsetenv("FILECOPY_SIM_CONNECT_RESULT");
    // An entry the program binds, a colon and a delay; nothing else.
    for (const char* late : {"CeDeleteFile", "CeDeleteFile:", "CeDeleteFile:soon",
                             "CeDeleteFiles:10", ":10", "CeDeleteFile:-1"}) {
      Set("FILECOPY_SIM_LATE_ANSWER", late);
      EXPECT_EQ(ConnectThrough(init_ex), kFail) << late;
    }
    Set("FILECOPY_SIM_LATE_ANSWER", "CeGetLastError:0");
    EXPECT_EQ(ConnectThrough(init_ex), 0);
    unsetenv("FILECOPY_SIM_LATE_ANSWER");
    // Either way, the connection fails with the result asked for.
    for (const char* result : {"0x80070056", "2147942486"}) {
      Set("FILECOPY_SIM_CONNECT_RESULT", result);
      EXPECT_EQ(ConnectThrough(init_ex), static_cast<RapiResult>(0x80070056U)) << result;
    }
    unsetenv("FILECOPY_SIM_CONNECT_RESULT");
    Set("FILECOPY_SIM_FAIL_CONNECT", "2");
    EXPECT_EQ(ConnectThrough(init_ex), kFail);
    Set("FILECOPY_SIM_FAIL_CONNECT", "1");
    EXPECT_EQ(ConnectThrough(init_ex), kFail);
    Set("FILECOPY_SIM_FAIL_CONNECT", "0");
    EXPECT_EQ(ConnectThrough(init_ex), 0);
  }
}

TEST_F(SimulatorConnection, CeRapiInitExRefusesAMissingOrMissizedStructureAndChangesNothing) {
  Put(root_ / "a", "data");
  Connect();
  const RapiHandle file = Open(u"\\a", kRapiGenericRead, 0, kRapiOpenExisting);
  EXPECT_EQ(Sim().CeRapiInitEx(nullptr), kInvalidArgument);
  for (const std::size_t size : {std::size_t{0}, sizeof(RapiInit) - 1, sizeof(RapiInit) + 1}) {
    RapiInit init{static_cast<RapiDword>(size), 77, kUnsettled};
    EXPECT_EQ(Sim().CeRapiInitEx(&init), kInvalidArgument) << size;
    EXPECT_EQ(init.event, 77U);
    EXPECT_EQ(init.result, kUnsettled);
  }
  // The session goes on.
  std::string data;
  EXPECT_EQ(Read(file, 4, data), 1U);
  EXPECT_EQ(data, "data");
}

struct DockingCase {
  const char* name;
  const char* variable;
  const char* value;
  bool set_on_return;
  bool docks;
  std::int64_t earliest_ms;
};

std::ostream& operator<<(std::ostream& out, const DockingCase& test) { return out << test.name; }

class SimulatorDocking : public SimulatorTest, public ::testing::WithParamInterface<DockingCase> {};

TEST_P(SimulatorDocking, CeRapiInitExReturnsAtOnceAndSetsItsEventOnceDocked) {
  const DockingCase& test = GetParam();
  Put(root_ / "a", "data");
  if (test.variable) Set(test.variable, test.value);
  const auto start = std::chrono::steady_clock::now();
  RapiInit init{sizeof(RapiInit), 0, kUnsettled};
  ASSERT_EQ(Sim().CeRapiInitEx(&init), 0);
  EXPECT_LT(MillisecondsSince(start), 400);
  EXPECT_NE(fcntl(static_cast<int>(init.event), F_GETFD) & FD_CLOEXEC, 0);
  EXPECT_EQ(IsSet(init.event, 0), test.set_on_return);
  // Not docked yet: the device's files are out of reach.
  if (!test.set_on_return) {
    EXPECT_EQ(Open(u"\\a", kRapiGenericRead, 1, kRapiOpenExisting), kRapiInvalidHandle);
  }
  EXPECT_EQ(IsSet(init.event, test.docks ? 10000 : 500), test.docks);
  EXPECT_GE(MillisecondsSince(start), test.earliest_ms);
  EXPECT_EQ(init.result, test.docks ? 0 : kUnsettled);
  EXPECT_EQ(Open(u"\\a", kRapiGenericRead, 1, kRapiOpenExisting) != kRapiInvalidHandle, test.docks);
  // Given up on from another thread, the wait ends at once and takes the event along.
  const auto given_up = std::chrono::steady_clock::now();
  RapiResult uninit = kUnsettled;
  std::thread([&uninit] { uninit = Sim().CeRapiUninit(); }).join();
  EXPECT_EQ(uninit, 0);
  EXPECT_LT(MillisecondsSince(given_up), 2000);
  EXPECT_FALSE(IsOpenDescriptor(init.event));
  EXPECT_EQ(init.result, test.docks ? 0 : kUnsettled);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, SimulatorDocking,
    ::testing::Values(DockingCase{"Docked", nullptr, nullptr, true, true, 0},
                      DockingCase{"DockingLate", "FILECOPY_SIM_CONNECT_DELAY_MS", "1000", false,
                                  true, 1000},
                      DockingCase{"NeverDocking", "FILECOPY_SIM_NO_DEVICE", "1", false, false, 0}),
    [](const ::testing::TestParamInfo<DockingCase>& test) { return test.param.name; });

class SimulatorWaiting : public SimulatorTest, public ::testing::WithParamInterface<DockingCase> {};

TEST_P(SimulatorWaiting, CeRapiInitReturnsOnceDockedOrCutShortFromAnotherThread) {
  const DockingCase& test = GetParam();
  const fs::path log = folder_ / "calls.log";
  Set("FILECOPY_SIM_LOG", log.string());
  Set(test.variable, test.value);
  const auto start = std::chrono::steady_clock::now();
  std::atomic<bool> returned{false};
  RapiResult result = kUnsettled;
  std::thread connecting([&result, &returned] {
    result = Sim().CeRapiInit();
    returned = true;
  });
  if (!test.docks) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(returned);
    EXPECT_EQ(Sim().CeRapiUninit(), 0);
  }
  connecting.join();
  EXPECT_GE(MillisecondsSince(start), test.earliest_ms);
  EXPECT_LT(MillisecondsSince(start), 10000);
  EXPECT_EQ(result, test.docks ? 0 : kFail);
  EXPECT_EQ(Contents(log), test.docks ? "CeRapiInit() = 0x00000000\n"
                                      : "CeRapiUninit() = 0x00000000\nCeRapiInit() = 0x80004005\n");
  EXPECT_EQ(Open(u"\\a", kReadWrite, 0, kRapiCreateNew) != kRapiInvalidHandle, test.docks);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, SimulatorWaiting,
    ::testing::Values(
        DockingCase{"DockingLate", "FILECOPY_SIM_CONNECT_DELAY_MS", "500", false, true, 500},
        DockingCase{"DockingTooLate", "FILECOPY_SIM_CONNECT_DELAY_MS", "60000", false, false, 300},
        DockingCase{"NeverDocking", "FILECOPY_SIM_NO_DEVICE", "1", false, false, 300}),
    [](const ::testing::TestParamInfo<DockingCase>& test) { return test.param.name; });

TEST_F(SimulatorConnection, CallsOutsideAConnectionFail) {
  Put(root_ / "a", "data");
  const auto refused = [this] {
    std::string data;
    std::vector<RapiDword> counts;
    RapiDword high = 7;
    EXPECT_EQ(Open(u"\\a", kReadWrite, 0, kRapiOpenExisting), kRapiInvalidHandle);
    EXPECT_EQ(Read(0x100, 4, data), 0U);
    EXPECT_EQ(Write(0x100, "x", counts), 0U);
    EXPECT_EQ(Sim().CeGetFileSize(0x100, &high), 0xFFFFFFFFU);
    EXPECT_EQ(high, 7U);
    EXPECT_EQ(Sim().CeCreateDirectory(Wide(u"\\d").data(), nullptr), 0U);
    EXPECT_EQ(Sim().CeMoveFile(Wide(u"\\a").data(), Wide(u"\\b").data()), 0U);
    EXPECT_EQ(Sim().CeDeleteFile(Wide(u"\\a").data()), 0U);
    EXPECT_EQ(Sim().CeCloseHandle(0x100), 0U);
    EXPECT_EQ(Sim().CeRapiUninit(), kFail);
    EXPECT_EQ(Contents(root_ / "a"), "data");
    EXPECT_FALSE(fs::exists(root_ / "d"));
  };
  refused();
  Connect();
  ASSERT_NE(Open(u"\\a", kReadWrite, 0, kRapiOpenExisting), kRapiInvalidHandle);
  EXPECT_TRUE(HostHolds(root_ / "a"));
  ASSERT_EQ(Sim().CeRapiUninit(), 0);
  EXPECT_FALSE(HostHolds(root_ / "a"));
  refused();
  // The exclusive handle went with the connection.
  Connect();
  EXPECT_NE(Open(u"\\a", kReadWrite, 0, kRapiOpenExisting), kRapiInvalidHandle);
}

struct DispositionCase {
  const char* name;
  RapiDword disposition;
  bool present;
  bool opens;
  std::optional<std::string> after;
};

std::ostream& operator<<(std::ostream& out, const DispositionCase& test) {
  return out << test.name;
}

class SimulatorDisposition : public SimulatorTest,
                             public ::testing::WithParamInterface<DispositionCase> {};

TEST_P(SimulatorDisposition, OpensAndLeavesTheFileAsWindowsCeDoes) {
  const DispositionCase& test = GetParam();
  if (test.present) Put(root_ / "f", "old data");
  Connect();
  const RapiHandle file = Open(u"\\f", kReadWrite, 0, test.disposition);
  EXPECT_EQ(file != kRapiInvalidHandle, test.opens);
  if (file != kRapiInvalidHandle) {
    EXPECT_EQ(Sim().CeCloseHandle(file), 1U);
  }
  EXPECT_EQ(Contents(root_ / "f"), test.after);
}

INSTANTIATE_TEST_SUITE_P(
    AllDispositions, SimulatorDisposition,
    ::testing::Values(DispositionCase{"CreateNewPresent", 1, true, false, "old data"},
                      DispositionCase{"CreateNewAbsent", 1, false, true, ""},
                      DispositionCase{"CreateAlwaysPresent", 2, true, true, ""},
                      DispositionCase{"CreateAlwaysAbsent", 2, false, true, ""},
                      DispositionCase{"OpenExistingPresent", 3, true, true, "old data"},
                      DispositionCase{"OpenExistingAbsent", 3, false, false, std::nullopt},
                      DispositionCase{"OpenAlwaysPresent", 4, true, true, "old data"},
                      DispositionCase{"OpenAlwaysAbsent", 4, false, true, ""},
                      DispositionCase{"TruncateExistingPresent", 5, true, true, ""},
                      DispositionCase{"TruncateExistingAbsent", 5, false, false, std::nullopt},
                      DispositionCase{"ZeroPresent", 0, true, false, "old data"},
                      DispositionCase{"SixAbsent", 6, false, false, std::nullopt}),
    [](const ::testing::TestParamInfo<DispositionCase>& test) { return test.param.name; });

using SimulatorPaths = SimulatorTest;

TEST_F(SimulatorPaths, MapComponentsBelowTheRoot) {
  Connect();
  EXPECT_EQ(Sim().CeCreateDirectory(Wide(u"\\Tarvel").data(), nullptr), 1U);
  EXPECT_EQ(Sim().CeCreateDirectory(Wide(u"\\Tarvel").data(), nullptr), 0U);
  std::vector<RapiDword> counts;
  const RapiHandle file =
      Open(u"\\Tarvel\\r\u00e9sum\u00e9 \u20ac\U0001F600", kRapiGenericWrite, 0, kRapiCreateNew);
  ASSERT_NE(file, kRapiInvalidHandle);
  EXPECT_EQ(Write(file, "abc", counts), 1U);
  EXPECT_EQ(Contents(root_ / "Tarvel" / u8"r\u00e9sum\u00e9 \u20ac\U0001F600"), "abc");
  // A folder is no file.
  EXPECT_EQ(Open(u"\\Tarvel", kRapiGenericRead, 1, kRapiOpenExisting), kRapiInvalidHandle);
  EXPECT_EQ(Open(u"\\Tarvel", kRapiGenericRead, 1, kRapiOpenAlways), kRapiInvalidHandle);
}

TEST_F(SimulatorPaths, NeverCreateMissingFolders) {
  Connect();
  EXPECT_EQ(Open(u"\\Nowhere\\x", kReadWrite, 0, kRapiCreateAlways), kRapiInvalidHandle);
  EXPECT_EQ(Sim().CeCreateDirectory(Wide(u"\\Nowhere\\deeper").data(), nullptr), 0U);
  EXPECT_FALSE(fs::exists(root_ / "Nowhere"));
}

TEST_F(SimulatorPaths, RefuseNamesThatCouldLeaveTheRoot) {
  Put(folder_ / "outside", "keep");
  fs::create_directory(root_ / "a");
  Connect();
  const std::u16string refused[] = {u"",
                                    u"outside",
                                    u"\\",
                                    u"\\a\\",
                                    u"\\\\outside",
                                    u"\\..\\outside",
                                    u"\\.\\a",
                                    u"\\a\\..\\..\\outside",
                                    u"\\a/../../outside",
                                    u"\\a:b",
                                    u"\\a\\x\xD800y"};
  for (const std::u16string& path : refused) {
    EXPECT_EQ(Open(path, kReadWrite, 0, kRapiCreateAlways), kRapiInvalidHandle);
    EXPECT_EQ(Sim().CeCreateDirectory(Wide(path).data(), nullptr), 0U);
    EXPECT_EQ(Sim().CeDeleteFile(Wide(path).data()), 0U);
    EXPECT_EQ(Sim().CeMoveFile(Wide(path).data(), Wide(u"\\b").data()), 0U);
    EXPECT_EQ(Sim().CeMoveFile(Wide(u"\\a").data(), Wide(path).data()), 0U);
  }
  EXPECT_EQ(Sim().CeCreateFile(nullptr, kReadWrite, 0, nullptr, kRapiCreateAlways, 0, 0),
            kRapiInvalidHandle);
  EXPECT_EQ(Contents(folder_ / "outside"), "keep");
  EXPECT_EQ(std::distance(fs::directory_iterator(root_), fs::directory_iterator()), 1);
  EXPECT_TRUE(fs::is_empty(root_ / "a"));
}

using SimulatorSharing = SimulatorTest;

TEST_F(SimulatorSharing, ExclusiveHandleKeepsOthersOutUntilClosed) {
  Put(root_ / "a", "old data");
  Connect();
  const RapiHandle first = Open(u"\\a", kRapiGenericRead, 0, kRapiOpenExisting);
  ASSERT_NE(first, kRapiInvalidHandle);
  EXPECT_EQ(Open(u"\\a", kRapiGenericRead, 3, kRapiOpenExisting), kRapiInvalidHandle);
  // Refused before the host open could truncate it.
  EXPECT_EQ(Open(u"\\a", kReadWrite, 0, kRapiCreateAlways), kRapiInvalidHandle);
  EXPECT_EQ(Contents(root_ / "a"), "old data");
  EXPECT_NE(Open(u"\\b", kReadWrite, 0, kRapiCreateNew), kRapiInvalidHandle);
  EXPECT_EQ(Sim().CeCloseHandle(first), 1U);
  EXPECT_NE(Open(u"\\a", kRapiGenericRead, 0, kRapiOpenExisting), kRapiInvalidHandle);
}

TEST_F(SimulatorSharing, ExclusiveOpenWaitsForSharedHandles) {
  Put(root_ / "a", "");
  Connect();
  ASSERT_NE(Open(u"\\a", kRapiGenericRead, 3, kRapiOpenExisting), kRapiInvalidHandle);
  EXPECT_NE(Open(u"\\a", kRapiGenericRead, 1, kRapiOpenExisting), kRapiInvalidHandle);
  EXPECT_EQ(Open(u"\\a", kRapiGenericRead, 0, kRapiOpenExisting), kRapiInvalidHandle);
}

using SimulatorFiles = SimulatorTest;

TEST_F(SimulatorFiles, ReadToTheEndThenSucceedWithNothing) {
  const std::string contents = "0123456789abcdefghijklmno";
  Put(root_ / "a", contents);
  Connect();
  const RapiHandle file = Open(u"\\a", kRapiGenericRead, 0, kRapiOpenExisting);
  std::string data;
  for (const std::size_t expected : {10U, 20U, 25U, 25U}) {
    EXPECT_EQ(Read(file, 10, data), 1U);
    EXPECT_EQ(data.size(), expected);
  }
  EXPECT_EQ(data, contents);
}

TEST_F(SimulatorFiles, HandlesAreSmallDistinctAndHonourTheirAccess) {
  Connect();
  const RapiHandle reader = Open(u"\\r", kRapiGenericRead, 1, kRapiCreateNew);
  const RapiHandle writer = Open(u"\\w", kRapiGenericWrite, 1, kRapiCreateNew);
  for (const RapiHandle handle : {reader, writer}) {
    EXPECT_NE(handle, 0U);
    EXPECT_LT(handle, 0x10000U);
  }
  EXPECT_NE(reader, writer);
  std::string data;
  std::vector<RapiDword> counts;
  EXPECT_EQ(Write(reader, "x", counts), 0U);
  EXPECT_EQ(Read(writer, 1, data), 0U);
  // Without write access, truncating is refused as on Windows.
  EXPECT_EQ(Open(u"\\r", kRapiGenericRead, 1, kRapiTruncateExisting), kRapiInvalidHandle);
  EXPECT_EQ(Sim().CeCloseHandle(writer), 1U);
  EXPECT_EQ(Sim().CeCloseHandle(writer), 0U);
  EXPECT_EQ(Write(writer, "x", counts), 0U);
  EXPECT_EQ(counts, (std::vector<RapiDword>{0, 0}));
  EXPECT_EQ(Sim().CeGetFileSize(writer, nullptr), 0xFFFFFFFFU);
  EXPECT_EQ(Sim().CeCloseHandle(kRapiInvalidHandle), 0U);
}

// Windows CE's MoveFile replaces nothing; neither call touches an open file.
TEST_F(SimulatorFiles, DeleteAndMoveRefuseOpenMissingAndExistingFiles) {
  Put(root_ / "a", "new");
  Put(root_ / "b", "old");
  fs::create_directory(root_ / "d");
  Connect();
  EXPECT_EQ(Sim().CeDeleteFile(Wide(u"\\absent").data()), 0U);
  EXPECT_EQ(Sim().CeDeleteFile(Wide(u"\\d").data()), 0U);
  EXPECT_EQ(Sim().CeMoveFile(Wide(u"\\absent").data(), Wide(u"\\c").data()), 0U);
  EXPECT_EQ(Sim().CeMoveFile(Wide(u"\\a").data(), Wide(u"\\b").data()), 0U);
  EXPECT_EQ(Sim().CeMoveFile(Wide(u"\\a").data(), Wide(u"\\d").data()), 0U);
  EXPECT_EQ(Sim().CeMoveFile(Wide(u"\\a").data(), Wide(u"\\none\\a").data()), 0U);
  const RapiHandle open = Open(u"\\a", kRapiGenericRead, 1, kRapiOpenExisting);
  const RapiHandle held = Open(u"\\b", kRapiGenericRead, 1, kRapiOpenExisting);
  EXPECT_EQ(Sim().CeMoveFile(Wide(u"\\a").data(), Wide(u"\\c").data()), 0U);
  EXPECT_EQ(Sim().CeDeleteFile(Wide(u"\\b").data()), 0U);
  EXPECT_EQ(Contents(root_ / "a"), "new");
  EXPECT_EQ(Contents(root_ / "b"), "old");
  EXPECT_FALSE(fs::exists(root_ / "c"));
  Sim().CeCloseHandle(open);
  Sim().CeCloseHandle(held);
  EXPECT_EQ(Sim().CeDeleteFile(Wide(u"\\b").data()), 1U);
  EXPECT_EQ(Sim().CeMoveFile(Wide(u"\\a").data(), Wide(u"\\b").data()), 1U);
  EXPECT_EQ(Contents(root_ / "b"), "new");
  EXPECT_FALSE(fs::exists(root_ / "a"));
  EXPECT_TRUE(fs::is_directory(root_ / "d"));
}

TEST_F(SimulatorFiles, SizeSplitsIntoLowAndHighParts) {
  std::ofstream(root_ / "big").close();
  fs::resize_file(root_ / "big", 0x140000005ULL);
  Connect();
  const RapiHandle file = Open(u"\\big", kRapiGenericRead, 1, kRapiOpenExisting);
  RapiDword high = 0;
  EXPECT_EQ(Sim().CeGetFileSize(file, &high), 0x40000005U);
  EXPECT_EQ(high, 1U);
  EXPECT_EQ(Sim().CeGetFileSize(file, nullptr), 0x40000005U);
}

using SimulatorFaults = SimulatorTest;

TEST_F(SimulatorFaults, FailedOpenTouchesNothing) {
  Put(root_ / "a", "old data");
  Set("FILECOPY_SIM_FAIL_OPEN", "1");
  Connect();
  EXPECT_EQ(Open(u"\\a", kReadWrite, 0, kRapiCreateAlways), kRapiInvalidHandle);
  EXPECT_EQ(Open(u"\\b", kReadWrite, 0, kRapiCreateNew), kRapiInvalidHandle);
  EXPECT_EQ(Contents(root_ / "a"), "old data");
  EXPECT_FALSE(fs::exists(root_ / "b"));
}

TEST_F(SimulatorFaults, ReadsFailOnceTheLimitIsDeliveredAcrossHandles) {
  Put(root_ / "a", "0123456789");
  Put(root_ / "b", "abcdefghij");
  Set("FILECOPY_SIM_FAIL_READ_AFTER", "10");
  Connect();
  const RapiHandle a = Open(u"\\a", kRapiGenericRead, 1, kRapiOpenExisting);
  const RapiHandle b = Open(u"\\b", kRapiGenericRead, 1, kRapiOpenExisting);
  std::string data;
  EXPECT_EQ(Read(a, 4, data), 1U);
  EXPECT_EQ(Read(b, 4, data), 1U);
  EXPECT_EQ(Read(a, 4, data), 1U);
  EXPECT_EQ(data, "0123abcd45");
  EXPECT_EQ(Read(b, 4, data), 0U);
  // A new connection starts counting again; a read reaching the limit exactly
  // is the last one that works.
  Set("FILECOPY_SIM_FAIL_READ_AFTER", "8");
  Connect();
  const RapiHandle again = Open(u"\\a", kRapiGenericRead, 1, kRapiOpenExisting);
  data.clear();
  EXPECT_EQ(Read(again, 4, data), 1U);
  EXPECT_EQ(Read(again, 4, data), 1U);
  EXPECT_EQ(Read(again, 4, data), 0U);
  EXPECT_EQ(data, "01234567");
}

TEST_F(SimulatorFaults, WritesStopAtTheLimitFailingOrShort) {
  for (const char* variable : {"FILECOPY_SIM_FAIL_WRITE_AFTER", "FILECOPY_SIM_SHORT_WRITE_AFTER"}) {
    SCOPED_TRACE(variable);
    unsetenv("FILECOPY_SIM_FAIL_WRITE_AFTER");
    Set(variable, "5");
    Connect();
    const bool fails = std::string(variable) == "FILECOPY_SIM_FAIL_WRITE_AFTER";
    const RapiHandle file = Open(u"\\a", kRapiGenericWrite, 0, kRapiCreateAlways);
    std::vector<RapiDword> counts;
    EXPECT_EQ(Write(file, "abc", counts), 1U);
    EXPECT_EQ(Write(file, "defg", counts), fails ? 0U : 1U);
    EXPECT_EQ(Write(file, "h", counts), fails ? 0U : 1U);
    EXPECT_EQ(counts, (std::vector<RapiDword>{3, 2, 0}));
    EXPECT_EQ(Contents(root_ / "a"), "abcde");
  }
}

TEST_F(SimulatorFaults, EachReadAndWriteWaitsOnASlowLink) {
  Set("FILECOPY_SIM_CALL_DELAY_MS", "150");
  Connect();
  RapiHandle file = Open(u"\\a", kReadWrite, 0, kRapiCreateNew);
  std::vector<RapiDword> counts;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Write(file, "ab", counts), 1U);
  EXPECT_EQ(Write(file, "c", counts), 1U);
  EXPECT_GE(MillisecondsSince(start), 300);
  Sim().CeCloseHandle(file);
  file = Open(u"\\a", kRapiGenericRead, 0, kRapiOpenExisting);
  std::string data;
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(Read(file, 10, data), 1U);
  EXPECT_GE(MillisecondsSince(start), 150);
  EXPECT_EQ(data, "abc");
}

extern "C" void IgnoreTheSignal(int /*signal_number*/) {}

// The call's work is done at once; the answer comes the whole delay later,
// though a signal that restarts nothing cuts the wait short twice.
TEST_F(SimulatorFaults, ALateAnswerComesAfterTheWholeDelayOnceTheWorkIsDone) {
  const fs::path log = folder_ / "calls.log";
  Set("FILECOPY_SIM_LOG", log.string());
  Set("FILECOPY_SIM_LATE_ANSWER", "CeDeleteFile:800");
  Put(root_ / "a", "a");
  Connect();
  struct sigaction interrupting {};
  interrupting.sa_handler = IgnoreTheSignal;
  struct sigaction previous {};
  ASSERT_EQ(sigaction(SIGUSR1, &interrupting, &previous), 0);
  std::atomic<bool> answered{false};
  const pthread_t caller = pthread_self();
  std::thread interrupter([&] {
    for (int i = 0; i < 2; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(250));
      pthread_kill(caller, SIGUSR1);
    }
    EXPECT_FALSE(fs::exists(root_ / "a")) << "the work waited for the answer";
    EXPECT_FALSE(answered);
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Sim().CeDeleteFile(Wide(u"\\a").data()), 1U);
  answered = true;
  const std::int64_t took = MillisecondsSince(start);
  interrupter.join();
  sigaction(SIGUSR1, &previous, nullptr);
  EXPECT_GE(took, 800);
  EXPECT_LT(took, 5000);
  // Other entries answer at once.
  const auto again = std::chrono::steady_clock::now();
  EXPECT_EQ(Sim().CeGetLastError(), 0U);
  EXPECT_LT(MillisecondsSince(again), 400);
  EXPECT_EQ(Contents(log),
            "CeRapiInit() = 0x00000000\n"
            "CeDeleteFile(\"\\a\") = 1, answering 800 ms late\n"
            "CeGetLastError() = 0\n");
}

TEST_F(SimulatorFaults, FailedCloseStillReleasesTheHandle) {
  Set("FILECOPY_SIM_FAIL_CLOSE", "1");
  Connect();
  const RapiHandle file = Open(u"\\a", kReadWrite, 0, kRapiCreateNew);
  std::vector<RapiDword> counts;
  EXPECT_EQ(Write(file, "kept", counts), 1U);
  EXPECT_EQ(Sim().CeCloseHandle(file), 0U);
  EXPECT_EQ(Write(file, "lost", counts), 0U);
  EXPECT_NE(Open(u"\\a", kReadWrite, 0, kRapiOpenExisting), kRapiInvalidHandle);
  EXPECT_EQ(Contents(root_ / "a"), "kept");
}

TEST_F(SimulatorFaults, FirstDeleteOfAConnectionAndEveryMoveFailWhenAsked) {
  Put(root_ / "a", "a");
  Put(root_ / "b", "b");
  Set("FILECOPY_SIM_FAIL_DELETE", "1");
  Set("FILECOPY_SIM_FAIL_MOVE", "1");
  Connect();
  EXPECT_EQ(Sim().CeDeleteFile(Wide(u"\\a").data()), 0U);
  EXPECT_EQ(Sim().CeMoveFile(Wide(u"\\b").data(), Wide(u"\\c").data()), 0U);
  EXPECT_EQ(Contents(root_ / "a"), "a");
  EXPECT_EQ(Sim().CeDeleteFile(Wide(u"\\a").data()), 1U);
  EXPECT_EQ(Sim().CeMoveFile(Wide(u"\\b").data(), Wide(u"\\c").data()), 0U);
  EXPECT_EQ(Contents(root_ / "b"), "b");
  Connect();
  EXPECT_EQ(Sim().CeDeleteFile(Wide(u"\\b").data()), 0U);
  EXPECT_EQ(Contents(root_ / "b"), "b");
}

// What CeRapiGetError and CeGetLastError say after a refused open: the link
// held, and the device's reason, as Windows CE gives it.
struct ReasonCase {
  const char* name;
  const char* variable;  // a fault, or none
  const char* value;
  std::u16string path;
  RapiDword disposition;
  RapiDword code;
};

std::ostream& operator<<(std::ostream& out, const ReasonCase& test) { return out << test.name; }

class SimulatorReasons : public SimulatorTest, public ::testing::WithParamInterface<ReasonCase> {};

TEST_P(SimulatorReasons, AFailedOpenLeavesTheDevicesReason) {
  Put(root_ / "a", "data");
  fs::create_directory(root_ / "d");
  if (GetParam().variable != nullptr) Set(GetParam().variable, GetParam().value);
  Connect();
  // A fault refuses every open, this one too.
  if (GetParam().variable == nullptr) {
    ASSERT_NE(Open(u"\\held", kReadWrite, 0, kRapiCreateNew), kRapiInvalidHandle);
  }
  EXPECT_EQ(Open(GetParam().path, kReadWrite, 0, GetParam().disposition), kRapiInvalidHandle);
  EXPECT_EQ(Sim().CeRapiGetError(), 0);
  EXPECT_EQ(Sim().CeGetLastError(), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    Opens, SimulatorReasons,
    ::testing::Values(
        ReasonCase{"FileNotFound", nullptr, nullptr, u"\\b", kRapiOpenExisting, 2},
        ReasonCase{"FolderNotFound", nullptr, nullptr, u"\\Tarvel\\b", kRapiOpenAlways, 3},
        ReasonCase{"AFolder", nullptr, nullptr, u"\\d", kRapiOpenAlways, 5},
        ReasonCase{"InUse", nullptr, nullptr, u"\\held", kRapiOpenExisting, 32},
        ReasonCase{"AlreadyThere", nullptr, nullptr, u"\\a", kRapiCreateNew, 80},
        ReasonCase{"AskedFor", "FILECOPY_SIM_DEVICE_ERROR", "112", u"\\a", kRapiOpenExisting, 112},
        // A fault flag gives no reason.
        ReasonCase{"FaultFlag", "FILECOPY_SIM_FAIL_OPEN", "1", u"\\a", kRapiOpenExisting, 0}),
    [](const ::testing::TestParamInfo<ReasonCase>& test) { return test.param.name; });

// Once the bytes have moved, every call fails and the link says why.
TEST_F(SimulatorFaults, ADroppedLinkFailsEveryCallAfterIt) {
  Put(root_ / "a", "0123456789");
  Set("FILECOPY_SIM_DROP_AFTER", "6");
  Connect();
  const RapiHandle reader = Open(u"\\a", kRapiGenericRead, 1, kRapiOpenExisting);
  const RapiHandle writer = Open(u"\\b", kRapiGenericWrite, 1, kRapiCreateNew);
  std::string data;
  std::vector<RapiDword> counts;
  EXPECT_EQ(Read(reader, 4, data), 1U);
  // Two of the three bytes fit before the cut.
  EXPECT_EQ(Write(writer, "xyz", counts), 0U);
  EXPECT_EQ(Sim().CeRapiGetError(), kLinkDropped);
  EXPECT_EQ(Read(reader, 4, data), 0U);
  EXPECT_EQ(Sim().CeCloseHandle(writer), 0U);
  EXPECT_EQ(Open(u"\\a", kRapiGenericRead, 1, kRapiOpenExisting), kRapiInvalidHandle);
  EXPECT_EQ(Sim().CeDeleteFile(Wide(u"\\a").data()), 0U);
  EXPECT_EQ(data, "0123");
  EXPECT_EQ(counts, (std::vector<RapiDword>{2}));
  EXPECT_EQ(Contents(root_ / "b"), "xy");
  // A new connection has the link back.
  unsetenv("FILECOPY_SIM_DROP_AFTER");
  Connect();
  EXPECT_EQ(Sim().CeRapiGetError(), 0);
  EXPECT_NE(Open(u"\\a", kRapiGenericRead, 1, kRapiOpenExisting), kRapiInvalidHandle);
}

TEST_F(SimulatorFaults, AHangingReadReturnsOnlyOnceCeRapiUninitComesFromAnotherThread) {
  const fs::path log = folder_ / "calls.log";
  Set("FILECOPY_SIM_LOG", log.string());
  Put(root_ / "a", "0123456789");
  Set("FILECOPY_SIM_HANG_AFTER", "4");
  Connect();
  const RapiHandle file = Open(u"\\a", kRapiGenericRead, 1, kRapiOpenExisting);
  std::string data;
  EXPECT_EQ(Read(file, 4, data), 1U);
  std::atomic<bool> returned{false};
  RapiBool result = 7;
  std::thread hanging([&] {
    std::string more;
    result = Read(file, 4, more);
    returned = true;
  });
  const auto start = std::chrono::steady_clock::now();
  while (Contents(log)->find("hangs") == std::string::npos && MillisecondsSince(start) < 10000) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(returned);
  EXPECT_EQ(Sim().CeRapiUninit(), 0);
  hanging.join();
  EXPECT_EQ(result, 0U);
  EXPECT_EQ(Contents(log),
            "CeRapiInit() = 0x00000000\n"
            "CeCreateFile(\"\\a\", 0x80000000, 1, null, 3, 0x00000080, null) = 0x00000100\n"
            "CeReadFile(0x00000100, ptr, 4, ptr, null) = 1 [4]\n"
            "CeReadFile(0x00000100, ptr, 4, ptr, null) hangs\n"
            "CeRapiUninit() = 0x00000000\n"
            "CeReadFile(0x00000100, ptr, 4, ptr, null) = 0 [0]\n");
}

using SimulatorLog = SimulatorTest;

TEST_F(SimulatorLog, RecordsEachCallInOrder) {
  const fs::path log = folder_ / "calls.log";
  Put(log, "earlier\n");
  Set("FILECOPY_SIM_LOG", log.string());
  Connect();
  Sim().CeCreateDirectory(Wide(u"\\Tarvel").data(), nullptr);
  const RapiHandle file = Sim().CeCreateFile(Wide(u"\\Tarvel\\rem\u00e9nx.imp").data(), kReadWrite,
                                             0, nullptr, kRapiOpenAlways, 0x80, 0);
  std::vector<RapiDword> counts;
  std::string data;
  Write(file, "hello", counts);
  RapiDword high = 0;
  Sim().CeGetFileSize(file, &high);
  Sim().CeGetFileSize(file, nullptr);
  Sim().CeGetFileSize(0x999, &high);
  Read(file, 10240, data);
  Sim().CeReadFile(file, nullptr, 0, nullptr, nullptr);
  Sim().CeCloseHandle(file);
  Sim().CeCloseHandle(file);
  Sim().CeMoveFile(Wide(u"\\Tarvel\\rem\u00e9nx.imp").data(), Wide(u"\\Tarvel\\x").data());
  Sim().CeDeleteFile(Wide(u"\\Tarvel\\x").data());
  Sim().CeDeleteFile(nullptr);
  Sim().CeCreateProcess(Wide(u"app").data(), nullptr, nullptr, nullptr, 0, 0, nullptr, nullptr,
                        nullptr, nullptr);
  Sim().CeGetSystemInfo(&high);
  Sim().CeDeleteFile(Wide(u"\\Tarvel\\x").data());
  Sim().CeRapiGetError();
  Sim().CeGetLastError();
  Sim().CeRapiUninit();
  Sim().CeRapiUninit();
  EXPECT_EQ(Contents(log),
            "earlier\n"
            "CeRapiInit() = 0x00000000\n"
            "CeCreateDirectory(\"\\Tarvel\", null) = 1\n"
            "CeCreateFile(\"\\Tarvel\\rem\xC3\xA9nx.imp\", 0xC0000000, 0, null, 4, 0x00000080, "
            "null) = 0x00000100\n"
            "CeWriteFile(0x00000100, ptr, 5, ptr, null) = 1 [5]\n"
            "CeGetFileSize(0x00000100, ptr) = 5 [0]\n"
            "CeGetFileSize(0x00000100, null) = 5\n"
            "CeGetFileSize(0x00000999, ptr) = 4294967295\n"
            "CeReadFile(0x00000100, ptr, 10240, ptr, null) = 1 [0]\n"
            "CeReadFile(0x00000100, null, 0, null, null) = 1\n"
            "CeCloseHandle(0x00000100) = 1\n"
            "CeCloseHandle(0x00000100) = 0\n"
            "CeMoveFile(\"\\Tarvel\\rem\xC3\xA9nx.imp\", \"\\Tarvel\\x\") = 1\n"
            "CeDeleteFile(\"\\Tarvel\\x\") = 1\n"
            "CeDeleteFile(null) = 0\n"
            "CeCreateProcess(\"app\", null, null, null, 0, 0x00000000, null, null, null, "
            "null) = 0\n"
            "CeGetSystemInfo(ptr)\n"
            "CeDeleteFile(\"\\Tarvel\\x\") = 0\n"
            "CeRapiGetError() = 0x00000000\n"
            "CeGetLastError() = 2\n"
            "CeRapiUninit() = 0x00000000\n"
            "CeRapiUninit() = 0x80004005\n");
}

TEST_F(SimulatorLog, RecordsARefusedConnection) {
  const fs::path log = folder_ / "calls.log";
  Set("FILECOPY_SIM_LOG", log.string());
  Set("FILECOPY_SIM_FAIL_CONNECT", "1");
  EXPECT_EQ(Sim().CeRapiInit(), kFail);
  // CeRapiInitEx's own result; the failure comes through its structure.
  RapiInit init{sizeof(RapiInit), 0, kUnsettled};
  EXPECT_EQ(Sim().CeRapiInitEx(&init), 0);
  EXPECT_EQ(Sim().CeRapiInitEx(nullptr), kInvalidArgument);
  EXPECT_EQ(Sim().CeRapiUninit(), 0);
  EXPECT_EQ(Contents(log),
            "CeRapiInit() = 0x80004005\n"
            "CeRapiInitEx(ptr) = 0x00000000\n"
            "CeRapiInitEx(null) = 0x80070057\n"
            "CeRapiUninit() = 0x00000000\n");
}

// The variants lack exactly the entries they omit, and only those.
TEST(SimulatorVariants, LackOnlyTheirOmittedEntries) {
  const Entries full = Sim();
  const Entries no_process = Bind(dlopen(FILECOPY_SIMULATOR_WITHOUT_CREATE_PROCESS, RTLD_NOW));
  const Entries no_read = Bind(dlopen(FILECOPY_SIMULATOR_WITHOUT_READ_FILE, RTLD_NOW));
  const Entries no_staging = Bind(dlopen(FILECOPY_SIMULATOR_WITHOUT_DELETE_AND_MOVE, RTLD_NOW));
  const Entries no_init_ex = Bind(dlopen(FILECOPY_SIMULATOR_WITHOUT_INIT_EX, RTLD_NOW));
#define FILECOPY_CHECK_ENTRY(name, result, parameters)                                     \
  EXPECT_NE(full.name, nullptr) << #name;                                                  \
  EXPECT_EQ(no_process.name == nullptr, std::string(#name) == "CeCreateProcess") << #name; \
  EXPECT_EQ(no_read.name == nullptr, std::string(#name) == "CeReadFile") << #name;         \
  EXPECT_EQ(no_staging.name == nullptr,                                                    \
            std::string(#name) == "CeDeleteFile" || std::string(#name) == "CeMoveFile")    \
      << #name;                                                                            \
  EXPECT_EQ(no_init_ex.name == nullptr, std::string(#name) == "CeRapiInitEx") << #name;
  FILECOPY_REMOTE_ENTRIES(FILECOPY_CHECK_ENTRY)
#undef FILECOPY_CHECK_ENTRY
}

}  // namespace
