// The transfers through the real binding against the device simulator.
#include "device/transfer/transfer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "device/remote_api/trapi.h"
#include "tests/reported_errors.h"
#include "tests/simulated_device.h"

namespace {

class TransferTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(TakeReportedCopyErrors(), expected_reports_); }

  // Every failure must be shown to the user exactly once.
  void ExpectReported() { expected_reports_ = 1; }

  SimulatedDevice device_;
  TRAPI api_{FILECOPY_RAPI_LIBRARY};
  int expected_reports_ = 0;
};

class TransferSizeTest : public TransferTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(TransferSizeTest, DownloadCopiesTheDeviceFileExactly) {
  const std::string content = RandomBytes(GetParam(), 1);
  WriteFileBytes(device_.Tarvel("remanx.imp"), content);
  ASSERT_TRUE(DownloadFile(api_, kDeviceExportFile, device_.Local("stock.txt")));
  EXPECT_EQ(ReadFileBytes(device_.Local("stock.txt")), content);
}

TEST_P(TransferSizeTest, UploadCopiesTheLocalFileExactly) {
  const std::string content = RandomBytes(GetParam(), 2);
  WriteFileBytes(device_.Local("stock.txt"), content);
  ASSERT_TRUE(UploadFile(api_, device_.Local("stock.txt"), kDeviceImportFile));
  EXPECT_EQ(ReadFileBytes(device_.Tarvel("remanx.exp")), content);
}

INSTANTIATE_TEST_SUITE_P(ChunkBoundaries, TransferSizeTest,
                         ::testing::Values(0, 1, 10239, 10240, 10241, 20480, 3 * 1024 * 1024 + 7));

TEST_F(TransferTest, DownloadOfAnAbsentExportCreatesItAndAnEmptyTarget) {
  ASSERT_TRUE(DownloadFile(api_, kDeviceExportFile, device_.Local("stock.txt")));
  EXPECT_TRUE(std::filesystem::exists(device_.Tarvel("remanx.imp")));
  EXPECT_TRUE(std::filesystem::exists(device_.Local("stock.txt")));
  EXPECT_EQ(ReadFileBytes(device_.Local("stock.txt")), "");
}

TEST_F(TransferTest, DownloadReplacesALongerTargetWholly) {
  WriteFileBytes(device_.Tarvel("remanx.imp"), "short");
  WriteFileBytes(device_.Local("stock.txt"), RandomBytes(30000, 3));
  ASSERT_TRUE(DownloadFile(api_, kDeviceExportFile, device_.Local("stock.txt")));
  EXPECT_EQ(ReadFileBytes(device_.Local("stock.txt")), "short");
  EXPECT_EQ(FileNamesIn(device_.local_folder()), (std::set<std::string>{"stock.txt"}));
}

TEST_F(TransferTest, UploadReplacesALongerDeviceFileWholly) {
  WriteFileBytes(device_.Tarvel("remanx.exp"), RandomBytes(30000, 4));
  WriteFileBytes(device_.Local("stock.txt"), "short");
  ASSERT_TRUE(UploadFile(api_, device_.Local("stock.txt"), kDeviceImportFile));
  EXPECT_EQ(ReadFileBytes(device_.Tarvel("remanx.exp")), "short");
}

TEST_F(TransferTest, DownloadSendsTheCallsInOrderWithTheirArguments) {
  WriteFileBytes(device_.Tarvel("remanx.imp"), RandomBytes(10241, 5));
  ASSERT_TRUE(DownloadFile(api_, kDeviceExportFile, device_.Local("stock.txt")));
  EXPECT_EQ(device_.Calls(),
            "CeRapiInit() = 0x00000000\n"
            "CeCreateFile(\"\\Tarvel\\remanx.imp\", 0xC0000000, 0, null, 4, 0x00000080, null) = "
            "0x00000100\n"
            "CeReadFile(0x00000100, ptr, 10240, ptr, null) = 1 [10240]\n"
            "CeReadFile(0x00000100, ptr, 10240, ptr, null) = 1 [1]\n"
            "CeReadFile(0x00000100, ptr, 10240, ptr, null) = 1 [0]\n"
            "CeCloseHandle(0x00000100) = 1\n"
            "CeRapiUninit() = 0x00000000\n");
}

TEST_F(TransferTest, UploadSendsTheCallsInOrderWithTheirArguments) {
  WriteFileBytes(device_.Local("stock.txt"), RandomBytes(10241, 6));
  ASSERT_TRUE(UploadFile(api_, device_.Local("stock.txt"), kDeviceImportFile));
  EXPECT_EQ(device_.Calls(),
            "CeRapiInit() = 0x00000000\n"
            "CeCreateFile(\"\\Tarvel\\remanx.exp\", 0xC0000000, 0, null, 2, 0x00000080, null) = "
            "0x00000100\n"
            "CeWriteFile(0x00000100, ptr, 10240, ptr, null) = 1 [10240]\n"
            "CeWriteFile(0x00000100, ptr, 1, ptr, null) = 1 [1]\n"
            "CeCloseHandle(0x00000100) = 1\n"
            "CeRapiUninit() = 0x00000000\n");
}

// A failed download leaves an existing target with its exact bytes and no
// temporary file beside it.
struct DownloadFault {
  const char* variable;
  const char* value;
};

std::ostream& operator<<(std::ostream& out, const DownloadFault& fault) {
  return out << fault.variable << '=' << fault.value;
}

template <typename Fault>
std::string FaultName(const ::testing::TestParamInfo<Fault>& info) {
  return std::string(info.param.variable).substr(std::string("FILECOPY_SIM_").size()) + "_" +
         info.param.value;
}

class DownloadFaultTest : public TransferTest,
                          public ::testing::WithParamInterface<DownloadFault> {};

TEST_P(DownloadFaultTest, FailsReportedAndLeavesTheTargetIntact) {
  const std::string old_target = RandomBytes(5000, 7);
  WriteFileBytes(device_.Tarvel("remanx.imp"), RandomBytes(50000, 8));
  WriteFileBytes(device_.Local("stock.txt"), old_target);
  SimulatedDevice::Inject(GetParam().variable, GetParam().value);
  const auto before = FileNamesIn(device_.local_folder());

  EXPECT_FALSE(DownloadFile(api_, kDeviceExportFile, device_.Local("stock.txt")));
  ExpectReported();
  EXPECT_EQ(ReadFileBytes(device_.Local("stock.txt")), old_target);
  EXPECT_EQ(FileNamesIn(device_.local_folder()), before);
}

INSTANTIATE_TEST_SUITE_P(Faults, DownloadFaultTest,
                         ::testing::Values(DownloadFault{"FILECOPY_SIM_FAIL_CONNECT", "1"},
                                           DownloadFault{"FILECOPY_SIM_FAIL_OPEN", "1"},
                                           DownloadFault{"FILECOPY_SIM_FAIL_READ_AFTER", "0"},
                                           DownloadFault{"FILECOPY_SIM_FAIL_READ_AFTER", "10240"},
                                           DownloadFault{"FILECOPY_SIM_FAIL_READ_AFTER", "25000"},
                                           DownloadFault{"FILECOPY_SIM_FAIL_CLOSE", "1"}),
                         FaultName<DownloadFault>);

TEST_F(TransferTest, DownloadIntoAMissingFolderFailsWithoutContactingTheDevice) {
  EXPECT_FALSE(DownloadFile(api_, kDeviceExportFile, device_.Local("missing/stock.txt")));
  ExpectReported();
  EXPECT_EQ(device_.Calls(), "");
}

TEST_F(TransferTest, DownloadWithoutTheDeviceFolderFails) {
  std::filesystem::remove(device_.tarvel_folder());
  EXPECT_FALSE(DownloadFile(api_, kDeviceExportFile, device_.Local("stock.txt")));
  ExpectReported();
  EXPECT_FALSE(std::filesystem::exists(device_.Local("stock.txt")));
}

TEST_F(TransferTest, UploadOfAMissingSourceNeverContactsTheDevice) {
  WriteFileBytes(device_.Tarvel("remanx.exp"), "kept");
  EXPECT_FALSE(UploadFile(api_, device_.Local("absent.txt"), kDeviceImportFile));
  ExpectReported();
  EXPECT_EQ(ReadFileBytes(device_.Tarvel("remanx.exp")), "kept");
  EXPECT_EQ(device_.Calls(), "");
}

TEST_F(TransferTest, UploadOfAFolderNeverContactsTheDevice) {
  std::filesystem::create_directory(device_.Local("folder"));
  EXPECT_FALSE(UploadFile(api_, device_.Local("folder"), kDeviceImportFile));
  ExpectReported();
  EXPECT_EQ(device_.Calls(), "");
}

TEST_F(TransferTest, DownloadThroughALinkReplacesTheFileItNames) {
  WriteFileBytes(device_.Tarvel("remanx.imp"), "new");
  WriteFileBytes(device_.Local("real.txt"), "old");
  std::filesystem::create_symlink("real.txt", device_.Local("link.txt"));
  ASSERT_TRUE(DownloadFile(api_, kDeviceExportFile, device_.Local("link.txt")));
  EXPECT_TRUE(std::filesystem::is_symlink(device_.Local("link.txt")));
  EXPECT_EQ(ReadFileBytes(device_.Local("real.txt")), "new");
  EXPECT_EQ(FileNamesIn(device_.local_folder()), (std::set<std::string>{"link.txt", "real.txt"}));
}

struct UploadFault {
  const char* variable;
  const char* value;
  bool device_file_kept;  // whether the fault strikes before the device file is emptied
};

std::ostream& operator<<(std::ostream& out, const UploadFault& fault) {
  return out << fault.variable << '=' << fault.value;
}

class UploadFaultTest : public TransferTest, public ::testing::WithParamInterface<UploadFault> {};

TEST_P(UploadFaultTest, FailsAndIsReported) {
  WriteFileBytes(device_.Tarvel("remanx.exp"), "kept");
  WriteFileBytes(device_.Local("stock.txt"), RandomBytes(50000, 9));
  SimulatedDevice::Inject(GetParam().variable, GetParam().value);

  EXPECT_FALSE(UploadFile(api_, device_.Local("stock.txt"), kDeviceImportFile));
  ExpectReported();
  if (GetParam().device_file_kept) {
    EXPECT_EQ(ReadFileBytes(device_.Tarvel("remanx.exp")), "kept");
  }
  EXPECT_EQ(FileNamesIn(device_.tarvel_folder()), (std::set<std::string>{"remanx.exp"}));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, UploadFaultTest,
    ::testing::Values(UploadFault{"FILECOPY_SIM_FAIL_CONNECT", "1", true},
                      UploadFault{"FILECOPY_SIM_FAIL_OPEN", "1", true},
                      UploadFault{"FILECOPY_SIM_FAIL_WRITE_AFTER", "0", false},
                      UploadFault{"FILECOPY_SIM_FAIL_WRITE_AFTER", "20000", false},
                      UploadFault{"FILECOPY_SIM_SHORT_WRITE_AFTER", "10000", false},
                      UploadFault{"FILECOPY_SIM_SHORT_WRITE_AFTER", "49999", false},
                      UploadFault{"FILECOPY_SIM_FAIL_CLOSE", "1", false}),
    FaultName<UploadFault>);

TEST_F(TransferTest, ATargetThatCannotBeReplacedFailsBeforeTheDeviceIsContacted) {
  std::filesystem::create_directory(device_.Local("stock.txt"));
  EXPECT_FALSE(DownloadFile(api_, kDeviceExportFile, device_.Local("stock.txt")));
  ExpectReported();
  EXPECT_EQ(device_.Calls(), "");
  EXPECT_TRUE(std::filesystem::is_directory(device_.Local("stock.txt")));
}

}  // namespace
