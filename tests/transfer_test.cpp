// The transfers through the real binding against the device simulator. Their
// failures are driven through the real program, in fault_matrix_test.cpp.
#include "device/transfer/transfer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "device/remote_api/trapi.h"
#include "device/transfer/timeouts.h"
#include "tests/reported_errors.h"
#include "tests/simulated_device.h"

namespace {

class TransferTest : public ::testing::Test {
 protected:
  // Not the usual 022, so a mode derived from it tells from a mode kept.
  void SetUp() override { previous_umask_ = umask(027); }
  // A copy that succeeds shows no failure.
  void TearDown() override {
    umask(previous_umask_);
    EXPECT_EQ(TakeReportedCopyErrors(), 0);
  }

  static std::filesystem::perms Permissions(const std::string& path) {
    return std::filesystem::status(path).permissions();
  }

  SimulatedDevice device_;
  TRAPI api_{FILECOPY_RAPI_LIBRARY};
  mode_t previous_umask_ = 0;
};

class TransferSizeTest : public TransferTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(TransferSizeTest, DownloadCopiesTheDeviceFileExactly) {
  const std::string content = RandomBytes(GetParam(), 1);
  WriteFileBytes(device_.Tarvel("remanx.imp"), content);
  ASSERT_EQ(DownloadFile(api_, kDeviceExportFile, device_.Local("stock.txt")),
            CopyOutcome::kCopied);
  EXPECT_EQ(ReadFileBytes(device_.Local("stock.txt")), content);
}

TEST_P(TransferSizeTest, UploadCopiesTheLocalFileExactly) {
  const std::string content = RandomBytes(GetParam(), 2);
  WriteFileBytes(device_.Local("stock.txt"), content);
  ASSERT_EQ(UploadFile(api_, device_.Local("stock.txt"), kDeviceImportFile), CopyOutcome::kCopied);
  EXPECT_EQ(ReadFileBytes(device_.Tarvel("remanx.exp")), content);
}

INSTANTIATE_TEST_SUITE_P(ChunkBoundaries, TransferSizeTest,
                         ::testing::Values(0, 1, 10239, 10240, 10241, 20480, 3 * 1024 * 1024 + 7),
                         [](const ::testing::TestParamInfo<std::size_t>& test) {
                           return std::to_string(test.param) + "Bytes";
                         });

TEST_F(TransferTest, DownloadOfAnAbsentExportCreatesItAndAnEmptyTarget) {
  ASSERT_EQ(DownloadFile(api_, kDeviceExportFile, device_.Local("stock.txt")),
            CopyOutcome::kCopied);
  EXPECT_TRUE(std::filesystem::exists(device_.Tarvel("remanx.imp")));
  EXPECT_TRUE(std::filesystem::exists(device_.Local("stock.txt")));
  EXPECT_EQ(ReadFileBytes(device_.Local("stock.txt")), "");
  EXPECT_EQ(Permissions(device_.Local("stock.txt")), static_cast<std::filesystem::perms>(0640));
}

TEST_F(TransferTest, DownloadReplacesALongerTargetWhollyKeepingItsPermissions) {
  WriteFileBytes(device_.Tarvel("remanx.imp"), "short");
  WriteFileBytes(device_.Local("stock.txt"), RandomBytes(30000, 3));
  std::filesystem::permissions(device_.Local("stock.txt"),
                               static_cast<std::filesystem::perms>(0604));
  ASSERT_EQ(DownloadFile(api_, kDeviceExportFile, device_.Local("stock.txt")),
            CopyOutcome::kCopied);
  EXPECT_EQ(ReadFileBytes(device_.Local("stock.txt")), "short");
  EXPECT_EQ(FileNamesIn(device_.local_folder()), (std::set<std::string>{"stock.txt"}));
  EXPECT_EQ(Permissions(device_.Local("stock.txt")), static_cast<std::filesystem::perms>(0604));
}

// As cp -p and editors' safe saves keep them, where the system allows it.
TEST_F(TransferTest, DownloadKeepsTheOwnerAndGroupOfTheTargetItReplaces) {
  if (geteuid() != 0) GTEST_SKIP() << "only root may give a file to another owner";
  WriteFileBytes(device_.Tarvel("remanx.imp"), "new");
  WriteFileBytes(device_.Local("stock.txt"), "old");
  ASSERT_EQ(chown(device_.Local("stock.txt").c_str(), 65534, 65534), 0);
  std::filesystem::permissions(device_.Local("stock.txt"),
                               static_cast<std::filesystem::perms>(0640));
  ASSERT_EQ(DownloadFile(api_, kDeviceExportFile, device_.Local("stock.txt")),
            CopyOutcome::kCopied);
  struct stat replaced {};
  ASSERT_EQ(stat(device_.Local("stock.txt").c_str(), &replaced), 0);
  EXPECT_EQ(replaced.st_uid, 65534U);
  EXPECT_EQ(replaced.st_gid, 65534U);
  EXPECT_EQ(replaced.st_mode & 07777U, 0640U);
  EXPECT_EQ(ReadFileBytes(device_.Local("stock.txt")), "new");
}

TEST_F(TransferTest, UploadReplacesALongerDeviceFileWholly) {
  WriteFileBytes(device_.Tarvel("remanx.exp"), RandomBytes(30000, 4));
  WriteFileBytes(device_.Local("stock.txt"), "short");
  ASSERT_EQ(UploadFile(api_, device_.Local("stock.txt"), kDeviceImportFile), CopyOutcome::kCopied);
  EXPECT_EQ(ReadFileBytes(device_.Tarvel("remanx.exp")), "short");
}

TEST_F(TransferTest, DownloadSendsTheCallsInOrderWithTheirArguments) {
  WriteFileBytes(device_.Tarvel("remanx.imp"), RandomBytes(10241, 5));
  ASSERT_EQ(DownloadFile(api_, kDeviceExportFile, device_.Local("stock.txt")),
            CopyOutcome::kCopied);
  EXPECT_EQ(device_.Calls(),
            "CeRapiInitEx(ptr) = 0x00000000\n"
            "CeCreateFile(\"\\Tarvel\\remanx.imp\", 0xC0000000, 0, null, 4, 0x00000080, null) = "
            "0x00000100\n"
            "CeReadFile(0x00000100, ptr, 10240, ptr, null) = 1 [10240]\n"
            "CeReadFile(0x00000100, ptr, 10240, ptr, null) = 1 [1]\n"
            "CeReadFile(0x00000100, ptr, 10240, ptr, null) = 1 [0]\n"
            "CeCloseHandle(0x00000100) = 1\n"
            "CeRapiUninit() = 0x00000000\n");
}

// A library that can delete and move files gets the new content in a
// temporary file first; one that cannot gets it written directly.
struct UploadCallsCase {
  const char* name;
  const char* library;
  std::string calls;
};

std::ostream& operator<<(std::ostream& out, const UploadCallsCase& test) {
  return out << test.name;
}

class UploadCallsTest : public TransferTest,
                        public ::testing::WithParamInterface<UploadCallsCase> {};

TEST_P(UploadCallsTest, SendsTheCallsInOrderWithTheirArguments) {
  const TRAPI api(GetParam().library);
  const std::string content = RandomBytes(10241, 6);
  WriteFileBytes(device_.Tarvel("remanx.exp"), "old");
  WriteFileBytes(device_.Local("stock.txt"), content);
  ASSERT_EQ(UploadFile(api, device_.Local("stock.txt"), kDeviceImportFile), CopyOutcome::kCopied);
  EXPECT_EQ(device_.Calls(), GetParam().calls);
  EXPECT_EQ(ReadFileBytes(device_.Tarvel("remanx.exp")), content);
  EXPECT_EQ(FileNamesIn(device_.tarvel_folder()), (std::set<std::string>{"remanx.exp"}));
}

// What a staged upload asks of the device once connected, whichever way it connects.
const std::string kStagedUpload =
    "CeCreateFile(\"\\Tarvel\\remanx.exp.filecopy\", 0xC0000000, 0, null, 2, 0x00000080, "
    "null) = 0x00000100\n"
    "CeWriteFile(0x00000100, ptr, 10240, ptr, null) = 1 [10240]\n"
    "CeWriteFile(0x00000100, ptr, 1, ptr, null) = 1 [1]\n"
    "CeCloseHandle(0x00000100) = 1\n"
    "CeDeleteFile(\"\\Tarvel\\remanx.exp\") = 1\n"
    "CeMoveFile(\"\\Tarvel\\remanx.exp.filecopy\", \"\\Tarvel\\remanx.exp\") = 1\n"
    "CeRapiUninit() = 0x00000000\n";

INSTANTIATE_TEST_SUITE_P(
    Libraries, UploadCallsTest,
    ::testing::Values(
        UploadCallsCase{"Staged", FILECOPY_RAPI_LIBRARY,
                        "CeRapiInitEx(ptr) = 0x00000000\n" + kStagedUpload},
        UploadCallsCase{
            "DirectWithoutDeleteAndMove", FILECOPY_SIMULATOR_WITHOUT_DELETE_AND_MOVE,
            "CeRapiInitEx(ptr) = 0x00000000\n"
            "CeCreateFile(\"\\Tarvel\\remanx.exp\", 0xC0000000, 0, null, 2, 0x00000080, null) = "
            "0x00000100\n"
            "CeWriteFile(0x00000100, ptr, 10240, ptr, null) = 1 [10240]\n"
            "CeWriteFile(0x00000100, ptr, 1, ptr, null) = 1 [1]\n"
            "CeCloseHandle(0x00000100) = 1\n"
            "CeRapiUninit() = 0x00000000\n"},
        // Without CeRapiInitEx, the library's own wait, and no other call changes.
        UploadCallsCase{"WithoutInitEx", FILECOPY_SIMULATOR_WITHOUT_INIT_EX,
                        "CeRapiInit() = 0x00000000\n" + kStagedUpload}),
    [](const ::testing::TestParamInfo<UploadCallsCase>& test) { return test.param.name; });

TEST_F(TransferTest, DownloadThroughALinkReplacesTheFileItNames) {
  WriteFileBytes(device_.Tarvel("remanx.imp"), "new");
  WriteFileBytes(device_.Local("real.txt"), "old");
  std::filesystem::create_symlink("real.txt", device_.Local("link.txt"));
  ASSERT_EQ(DownloadFile(api_, kDeviceExportFile, device_.Local("link.txt")), CopyOutcome::kCopied);
  EXPECT_TRUE(std::filesystem::is_symlink(device_.Local("link.txt")));
  EXPECT_EQ(ReadFileBytes(device_.Local("real.txt")), "new");
  EXPECT_EQ(FileNamesIn(device_.local_folder()), (std::set<std::string>{"link.txt", "real.txt"}));
}

// Every other test sets its own bounds. Unset or empty, a call may take a
// minute, and the wait for a device is as long as the library's.
TEST(Timeouts, UnsetOrEmptyAreAMinuteForACallAndTheLibrarysForTheConnection) {
  const SimulatedDevice device;  // which unsets both
  EXPECT_EQ(CallTimeout(), std::chrono::seconds(60));
  EXPECT_EQ(ConnectTimeout(), std::nullopt);
  SimulatedDevice::Inject("FILECOPY_CALL_TIMEOUT", "");
  SimulatedDevice::Inject("FILECOPY_CONNECT_TIMEOUT", "");
  EXPECT_EQ(CallTimeout(), std::chrono::seconds(60));
  EXPECT_EQ(ConnectTimeout(), std::nullopt);
}

}  // namespace
