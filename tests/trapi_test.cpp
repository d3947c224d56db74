// The binding: which entries it finds, and what happens without them.
#include "device/remote_api/trapi.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "device/transfer/transfer.h"
#include "tests/reported_errors.h"
#include "tests/simulated_device.h"

namespace {

std::vector<std::string> BoundEntries(const TRAPI& api) {
  std::vector<std::string> bound;
#define FILECOPY_COLLECT(name, result, parameters) \
  if (api.name) bound.emplace_back(#name);
  FILECOPY_REMOTE_ENTRIES(FILECOPY_COLLECT)
#undef FILECOPY_COLLECT
  return bound;
}

const std::vector<std::string> kAllEntries = {
    "CeCreateFile",      "CeWriteFile",     "CeCloseHandle",   "CeGetFileSize",  "CeReadFile",
    "CeCreateDirectory", "CeCreateProcess", "CeGetSystemInfo", "CeRapiUninit",   "CeRapiInit",
    "CeDeleteFile",      "CeMoveFile",      "CeRapiInitEx",    "CeRapiGetError", "CeGetLastError"};

TEST(TrapiTest, BindsEveryEntryOfACompleteLibrary) {
  const TRAPI api(FILECOPY_RAPI_LIBRARY);
  EXPECT_EQ(BoundEntries(api), kAllEntries);
}

TEST(TrapiTest, WithoutTheLibraryEveryEntryIsEmptyAndRaisesWhenCalled) {
  SimulatedDevice device;
  const TRAPI api("/nonexistent/librapi.so.2");
  EXPECT_TRUE(BoundEntries(api).empty());
  try {
    api.CeRapiInit();
    FAIL() << "an empty entry was called";
  } catch (const RemoteEntryMissing& missing) {
    EXPECT_NE(std::string(missing.what()).find("CeRapiInit"), std::string::npos);
    EXPECT_NE(std::string(missing.what()).find("/nonexistent/librapi.so.2"), std::string::npos);
  }
}

void ExpectRefused(const TRAPI& api) {
  EXPECT_TRUE(BoundEntries(api).empty());
  try {
    api.CeRapiInit();
    FAIL() << "an empty entry was called";
  } catch (const RemoteEntryMissing& missing) {
    EXPECT_NE(std::string(missing.what()).find("not an absolute path"), std::string::npos)
        << missing.what();
  }
}

// The test's run path holds the simulator's folder, so the search path would
// find it by its bare name, and the current folder by "./" and that name.
TEST(TrapiTest, ALibraryNameWithoutAFolderIsNeverSearchedFor) {
  const std::filesystem::path library(FILECOPY_RAPI_LIBRARY);
  const std::string bare = library.filename().string();
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(library.parent_path());
  void* searched = dlopen(bare.c_str(), RTLD_NOW | RTLD_LOCAL);
  void* relative = dlopen(("./" + bare).c_str(), RTLD_NOW | RTLD_LOCAL);
  ExpectRefused(TRAPI(bare));
  ExpectRefused(TRAPI("./" + bare));
  std::filesystem::current_path(previous);
  EXPECT_NE(searched, nullptr) << "the search path does not find " << bare;
  EXPECT_NE(relative, nullptr);
  for (void* handle : {searched, relative}) {
    if (handle != nullptr) dlclose(handle);
  }
}

// The POSIX library's file name changed between its releases, so several
// paths are tried: the first that exists is loaded, whether or not it can be.
struct LibraryPathsCase {
  const char* name;
  std::vector<std::string> paths;
  const char* loaded;             // or none
  std::vector<std::string> said;  // by the message when none is loaded
};

std::ostream& operator<<(std::ostream& out, const LibraryPathsCase& test) {
  return out << test.name;
}

const std::string kBareName = std::filesystem::path(FILECOPY_RAPI_LIBRARY).filename().string();

class LibraryPathsTest : public ::testing::TestWithParam<LibraryPathsCase> {};

TEST_P(LibraryPathsTest, TheFirstThatExistsIsLoaded) {
  const platform::DynamicLibrary library(GetParam().paths);
  if (GetParam().loaded != nullptr) {
    EXPECT_EQ(library.path(), GetParam().loaded);
    EXPECT_NE(library.Find("CeRapiInit"), nullptr);
    return;
  }
  EXPECT_FALSE(library.loaded());
  try {
    ThrowRemoteEntryMissing("CeRapiInit", library);
  } catch (const RemoteEntryMissing& missing) {
    for (const std::string& part : GetParam().said) {
      EXPECT_NE(std::string(missing.what()).find(part), std::string::npos) << missing.what();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, LibraryPathsTest,
    ::testing::Values(
        LibraryPathsCase{"FirstMissingSecondLoaded",
                         {"/nonexistent/libsynce.so.0", FILECOPY_RAPI_LIBRARY},
                         FILECOPY_RAPI_LIBRARY,
                         {}},
        LibraryPathsCase{"NoneThereEachNamed",
                         {"/nonexistent/libsynce.so.0", "/nonexistent/librapi.so.2"},
                         nullptr,
                         {"/nonexistent/libsynce.so.0", "/nonexistent/librapi.so.2"}},
        LibraryPathsCase{
            "FirstThereButNoLibrary", {"/dev/null", FILECOPY_RAPI_LIBRARY}, nullptr, {"/dev/null"}},
        // The run path would find this one by its name.
        LibraryPathsCase{"ABareNameAfterAMissingPath",
                         {"/nonexistent/libsynce.so.0", kBareName},
                         nullptr,
                         {"\"" + kBareName + "\" could not be loaded: not an absolute path"}}),
    [](const ::testing::TestParamInfo<LibraryPathsCase>& test) { return test.param.name; });

TEST(TrapiTest, WithoutTheLibraryBothTransfersFailAndLeaveTheTargetAlone) {
  SimulatedDevice device;
  const TRAPI api("/nonexistent/librapi.so.2");
  WriteFileBytes(device.Local("stock.txt"), "kept");
  EXPECT_EQ(DownloadFile(api, kDeviceExportFile, device.Local("stock.txt")), CopyOutcome::kFailed);
  EXPECT_EQ(UploadFile(api, device.Local("stock.txt"), kDeviceImportFile), CopyOutcome::kFailed);
  EXPECT_EQ(TakeReportedCopyErrors(), 2);
  EXPECT_EQ(ReadFileBytes(device.Local("stock.txt")), "kept");
  EXPECT_EQ(FileNamesIn(device.local_folder()), (std::set<std::string>{"stock.txt"}));
}

TEST(TrapiTest, AMissingExportTheProgramNeverCallsDoesNotMatter) {
  SimulatedDevice device;
  const TRAPI api(FILECOPY_SIMULATOR_WITHOUT_CREATE_PROCESS);
  EXPECT_FALSE(api.CeCreateProcess);
  WriteFileBytes(device.Local("stock.txt"), "up");
  WriteFileBytes(device.Tarvel("remanx.imp"), "down");
  EXPECT_EQ(UploadFile(api, device.Local("stock.txt"), kDeviceImportFile), CopyOutcome::kCopied);
  EXPECT_EQ(DownloadFile(api, kDeviceExportFile, device.Local("copy.txt")), CopyOutcome::kCopied);
  EXPECT_EQ(ReadFileBytes(device.Tarvel("remanx.exp")), "up");
  EXPECT_EQ(ReadFileBytes(device.Local("copy.txt")), "down");
  EXPECT_EQ(TakeReportedCopyErrors(), 0);
}

TEST(TrapiTest, AMissingExportTheTransferNeedsIsReportedBeforeTheDeviceIsTouched) {
  SimulatedDevice device;
  const TRAPI api(FILECOPY_SIMULATOR_WITHOUT_READ_FILE);
  WriteFileBytes(device.Tarvel("remanx.imp"), "down");
  EXPECT_EQ(DownloadFile(api, kDeviceExportFile, device.Local("copy.txt")), CopyOutcome::kFailed);
  EXPECT_EQ(TakeReportedCopyErrors(), 1);
  EXPECT_EQ(device.Calls(), "");
  EXPECT_FALSE(std::filesystem::exists(device.Local("copy.txt")));
  // Uploads do not read from the device, so they still work.
  WriteFileBytes(device.Local("stock.txt"), "up");
  EXPECT_EQ(UploadFile(api, device.Local("stock.txt"), kDeviceImportFile), CopyOutcome::kCopied);
  EXPECT_EQ(TakeReportedCopyErrors(), 0);
}

// A recording binding: entries bound to functions that log and answer as a
// test scripts them, for answers the simulator never gives.
struct Script {
  std::vector<std::string> calls;
  RapiBool read_result = 1;
  RapiDword read_count = 0;
  int reads_left = 1;
  RapiBool write_result = 1;
  RapiResult link_error = 0;
  RapiDword device_error = 0;
};
Script g_script;

RapiResult RecordInit() {
  g_script.calls.emplace_back("init");
  return 0;
}
RapiResult RecordUninit() {
  g_script.calls.emplace_back("uninit");
  return 0;
}
RapiHandle RecordCreate(const RapiChar* /*name*/, RapiDword /*access*/, RapiDword /*share*/,
                        void* /*security*/, RapiDword /*disposition*/, RapiDword /*attributes*/,
                        RapiHandle /*template_file*/) {
  g_script.calls.emplace_back("create");
  return 7;
}
RapiBool RecordRead(RapiHandle /*file*/, void* /*buffer*/, RapiDword /*size*/, RapiDword* count,
                    void* /*overlapped*/) {
  g_script.calls.emplace_back("read");
  if (g_script.reads_left-- <= 0) {
    *count = 0;
    return 1;
  }
  *count = g_script.read_count;
  return g_script.read_result;
}
RapiBool RecordWrite(RapiHandle /*file*/, const void* /*buffer*/, RapiDword size, RapiDword* count,
                     void* /*overlapped*/) {
  g_script.calls.emplace_back("write");
  *count = size;
  return g_script.write_result;
}
RapiBool RecordClose(RapiHandle /*file*/) {
  g_script.calls.emplace_back("close");
  return 1;
}
// The device names here are ASCII.
std::string Named(const char* call, const RapiChar* name) {
  std::string text = std::string(call) + " ";
  for (; *name != 0; ++name) text.push_back(static_cast<char>(*name));
  return text;
}
RapiBool RecordDelete(const RapiChar* name) {
  g_script.calls.push_back(Named("delete", name));
  return 1;
}
RapiBool RecordMove(const RapiChar* /*from*/, const RapiChar* /*to*/) {
  g_script.calls.emplace_back("move");
  return 1;
}

RapiResult RecordRapiError() {
  g_script.calls.emplace_back("rapi-error");
  return g_script.link_error;
}
RapiDword RecordLastError() {
  g_script.calls.emplace_back("last-error");
  return g_script.device_error;
}

RapiResult RecordFailedInitEx(RapiInit* /*init*/) {
  g_script.calls.emplace_back("init-ex");
  return static_cast<RapiResult>(0x80004005U);
}

class RecordingBindingTest : public ::testing::Test {
 protected:
  RecordingBindingTest() {
    g_script = Script{};
    api_.CeRapiInit.Bind(RecordInit);
    api_.CeRapiUninit.Bind(RecordUninit);
    api_.CeCreateFile.Bind(RecordCreate);
    api_.CeReadFile.Bind(RecordRead);
    api_.CeWriteFile.Bind(RecordWrite);
    api_.CeCloseHandle.Bind(RecordClose);
    api_.CeRapiGetError.Bind(RecordRapiError);
    api_.CeGetLastError.Bind(RecordLastError);
  }

  SimulatedDevice device_;
  TRAPI api_{"/nonexistent/librapi.so.2"};
};

TEST_F(RecordingBindingTest, AReadResultOtherThanOneIsAFailureNotTheEnd) {
  g_script.read_result = 2;
  g_script.read_count = 10;
  EXPECT_EQ(DownloadFile(api_, kDeviceExportFile, device_.Local("stock.txt")),
            CopyOutcome::kFailed);
  EXPECT_EQ(TakeReportedCopyErrors(), 1);
  EXPECT_EQ(g_script.calls, (std::vector<std::string>{"init", "create", "read", "rapi-error",
                                                      "last-error", "close", "uninit"}));
  EXPECT_FALSE(std::filesystem::exists(device_.Local("stock.txt")));
}

// A failed call asks the link first; the device's reason only when the link held.
struct FailedReadCase {
  const char* name;
  RapiResult link_error;
  CopyOutcome outcome;
  std::vector<std::string> calls;
};

std::ostream& operator<<(std::ostream& out, const FailedReadCase& test) { return out << test.name; }

class FailedReadTest : public RecordingBindingTest,
                       public ::testing::WithParamInterface<FailedReadCase> {};

TEST_P(FailedReadTest, AsksTheLinkThenTheDevice) {
  g_script.read_result = 0;
  g_script.link_error = GetParam().link_error;
  g_script.device_error = 32;
  EXPECT_EQ(DownloadFile(api_, kDeviceExportFile, device_.Local("stock.txt")), GetParam().outcome);
  EXPECT_EQ(TakeReportedCopyErrors(), 1);
  EXPECT_EQ(g_script.calls, GetParam().calls);
}

INSTANTIATE_TEST_SUITE_P(
    Links, FailedReadTest,
    ::testing::Values(FailedReadCase{"LinkHeldDeviceRefused",
                                     0,
                                     CopyOutcome::kFailed,
                                     {"init", "create", "read", "rapi-error", "last-error", "close",
                                      "uninit"}},
                      FailedReadCase{"LinkLost",
                                     static_cast<RapiResult>(0x80072775U),
                                     CopyOutcome::kNoDevice,
                                     {"init", "create", "read", "rapi-error", "close", "uninit"}}),
    [](const ::testing::TestParamInfo<FailedReadCase>& test) { return test.param.name; });

// The library may have started something even when the call failed.
TEST_F(RecordingBindingTest, AFailedCeRapiInitExIsStillFollowedByCeRapiUninit) {
  api_.CeRapiInitEx.Bind(RecordFailedInitEx);
  EXPECT_EQ(DownloadFile(api_, kDeviceExportFile, device_.Local("stock.txt")),
            CopyOutcome::kNoDevice);
  EXPECT_EQ(TakeReportedCopyErrors(), 1);
  EXPECT_EQ(g_script.calls, (std::vector<std::string>{"init-ex", "uninit"}));
  EXPECT_FALSE(std::filesystem::exists(device_.Local("stock.txt")));
}

TEST_F(RecordingBindingTest, ACountLargerThanTheBufferIsRefused) {
  g_script.read_count = 10241;
  EXPECT_EQ(DownloadFile(api_, kDeviceExportFile, device_.Local("stock.txt")),
            CopyOutcome::kFailed);
  EXPECT_EQ(TakeReportedCopyErrors(), 1);
  EXPECT_FALSE(std::filesystem::exists(device_.Local("stock.txt")));
}

TEST_F(RecordingBindingTest, ResourcesAreReleasedDeviceFileFirstConnectionLast) {
  g_script.read_count = 3;
  EXPECT_EQ(DownloadFile(api_, kDeviceExportFile, device_.Local("stock.txt")),
            CopyOutcome::kCopied);
  EXPECT_EQ(g_script.calls,
            (std::vector<std::string>{"init", "create", "read", "read", "close", "uninit"}));
  EXPECT_EQ(ReadFileBytes(device_.Local("stock.txt")).size(), 3U);
}

// Every byte stored is no success while the device says the write failed;
// the staged file is removed and the device file never replaced.
TEST_F(RecordingBindingTest, AWriteReportedFailedFailsEvenWithEveryByteStored) {
  api_.CeDeleteFile.Bind(RecordDelete);
  api_.CeMoveFile.Bind(RecordMove);
  g_script.write_result = 0;
  WriteFileBytes(device_.Local("stock.txt"), RandomBytes(10241, 7));
  EXPECT_EQ(UploadFile(api_, device_.Local("stock.txt"), kDeviceImportFile), CopyOutcome::kFailed);
  EXPECT_EQ(TakeReportedCopyErrors(), 1);
  EXPECT_EQ(g_script.calls,
            (std::vector<std::string>{"init", "create", "write", "rapi-error", "last-error",
                                      "close", "delete \\Tarvel\\remanx.exp.filecopy", "uninit"}));
}

// Staging needs both entries; with one alone the upload writes directly.
TEST_F(RecordingBindingTest, AnUploadWithDeleteButNoMoveWritesTheDeviceFileDirectly) {
  api_.CeDeleteFile.Bind(RecordDelete);
  WriteFileBytes(device_.Local("stock.txt"), "up");
  EXPECT_EQ(UploadFile(api_, device_.Local("stock.txt"), kDeviceImportFile), CopyOutcome::kCopied);
  EXPECT_EQ(TakeReportedCopyErrors(), 0);
  EXPECT_EQ(g_script.calls,
            (std::vector<std::string>{"init", "create", "write", "close", "uninit"}));
}

}  // namespace
