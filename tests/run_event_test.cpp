// Which copy's end writes which event to Windows' Application log, with what
// strings, and what the transfers tell the record. The log itself is tried
// under Wine (tests/wine).
#include "app/run_event.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "device/remote_api/trapi.h"
#include "device/transfer/transfer.h"
#include "tests/reported_errors.h"
#include "tests/simulated_device.h"
#include "texts/texts.h"

namespace {

using platform::EventType;
using std::chrono::milliseconds;

struct SettingCase {
  const char* name;
  std::optional<std::string> value;  // FILECOPY_EVENT_LOG
  std::optional<EventLogSetting> expected;
};

std::ostream& operator<<(std::ostream& out, const SettingCase& test) { return out << test.name; }

class EventLogSettingTest : public ::testing::TestWithParam<SettingCase> {};

TEST_P(EventLogSettingTest, TakesTheThreeNamesInAnyCaseAndRefusesTheRest) {
  EXPECT_EQ(EventLogSettingFrom(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, EventLogSettingTest,
    ::testing::Values(SettingCase{"Unset", std::nullopt, EventLogSetting::kFailures},
                      SettingCase{"Off", "off", EventLogSetting::kOff},
                      SettingCase{"OffInCapitals", "OFF", EventLogSetting::kOff},
                      SettingCase{"Failures", "Failures", EventLogSetting::kFailures},
                      SettingCase{"All", "all", EventLogSetting::kAll},
                      SettingCase{"Misspelt", "of", std::nullopt},
                      // What "set FILECOPY_EVENT_LOG=off " leaves in a batch file.
                      SettingCase{"TrailingBlank", "off ", std::nullopt},
                      SettingCase{"Singular", "failure", std::nullopt},
                      SettingCase{"Number", "0", std::nullopt}),
    [](const ::testing::TestParamInfo<SettingCase>& test) { return std::string(test.param.name); });

struct Written {
  EventType type;
  std::uint32_t id;
};

struct OutcomeCase {
  const char* name;
  EventLogSetting setting;
  CopyOutcome outcome;
  std::optional<Written> expected;
};

std::ostream& operator<<(std::ostream& out, const OutcomeCase& test) { return out << test.name; }

class EventForOutcomeTest : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(EventForOutcomeTest, HasTheOutcomesTypeAndId) {
  const std::optional<RunEvent> event =
      EventFor(GetParam().setting, {GetParam().outcome, {"line"}}, "-d", "a.txt", milliseconds(0));
  ASSERT_EQ(event.has_value(), GetParam().expected.has_value());
  if (!event) return;
  EXPECT_EQ(event->type, GetParam().expected->type);
  EXPECT_EQ(event->id, GetParam().expected->id);
}

constexpr auto kOff = EventLogSetting::kOff;
constexpr auto kFailures = EventLogSetting::kFailures;
constexpr auto kAll = EventLogSetting::kAll;

INSTANTIATE_TEST_SUITE_P(
    Outcomes, EventForOutcomeTest,
    ::testing::Values(
        OutcomeCase{"CopiedByDefault", kFailures, CopyOutcome::kCopied, std::nullopt},
        OutcomeCase{"CopiedWithAll", kAll, CopyOutcome::kCopied,
                    Written{EventType::kInformation, 100}},
        OutcomeCase{"CopiedWithOff", kOff, CopyOutcome::kCopied, std::nullopt},
        OutcomeCase{"Failed", kFailures, CopyOutcome::kFailed, Written{EventType::kError, 101}},
        OutcomeCase{"FailedWithAll", kAll, CopyOutcome::kFailed, Written{EventType::kError, 101}},
        OutcomeCase{"FailedWithOff", kOff, CopyOutcome::kFailed, std::nullopt},
        OutcomeCase{"NoDevice", kFailures, CopyOutcome::kNoDevice,
                    Written{EventType::kWarning, 102}},
        OutcomeCase{"NoDeviceWithOff", kOff, CopyOutcome::kNoDevice, std::nullopt},
        OutcomeCase{"Stopped", kAll, CopyOutcome::kStopped, Written{EventType::kWarning, 103}},
        OutcomeCase{"StoppedWithOff", kOff, CopyOutcome::kStopped, std::nullopt}),
    [](const ::testing::TestParamInfo<OutcomeCase>& test) { return std::string(test.param.name); });

// The strings are in the run's language, as its lines are.
TEST(RunEventText, HoldsTheOptionTheFileAndTheLinesOneALine) {
  const CopyEnd end{CopyOutcome::kNoDevice, {"cannot connect to the device", "advice"}};
  const std::optional<RunEvent> event =
      EventFor(kFailures, end, "-u", "C:\\Remanex\\cennik.txt", milliseconds(900));
  ASSERT_TRUE(event);
  EXPECT_EQ(event->strings, (std::vector<std::string>{"-u", "C:\\Remanex\\cennik.txt",
                                                      "cannot connect to the device\r\nadvice"}));
}

TEST(RunEventText, GivesACopyMadeItsBytesAndSecondsToATenthInEachLanguage) {
  const CopyEnd end{CopyOutcome::kCopied, {}, 52000};
  for (const auto& [language, taken, seconds] :
       {std::tuple{Language::kEnglish, 2549, "2.5"}, std::tuple{Language::kEnglish, 2550, "2.6"},
        std::tuple{Language::kPolish, 12049, "12,0"}, std::tuple{Language::kPolish, 49, "0,0"}}) {
    SetLanguage(language);
    const std::optional<RunEvent> event = EventFor(kAll, end, "-d", "a.txt", milliseconds(taken));
    ASSERT_TRUE(event);
    EXPECT_EQ(event->strings, (std::vector<std::string>{"-d", "a.txt", "52000", seconds}));
  }
  SetLanguage(Language::kEnglish);
}

std::vector<CopyEnd> g_recorded;
void Keep(const CopyEnd& end) noexcept { g_recorded.push_back(end); }

// The record gets each end once, with exactly the lines standard error got.
class EndRecordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_recorded.clear();
    SetEndRecord(&Keep);
  }
  void TearDown() override { SetEndRecord(nullptr); }

  SimulatedDevice device_;
  TRAPI api_{FILECOPY_RAPI_LIBRARY};
};

TEST_F(EndRecordTest, HasAFailuresLineAndItsAdviceInTheRunsLanguage) {
  SimulatedDevice::Inject("FILECOPY_SIM_CONNECT_RESULT", "0x80070056");
  for (const Language language : {Language::kEnglish, Language::kPolish}) {
    SetLanguage(language);
    g_recorded.clear();
    testing::internal::CaptureStderr();
    EXPECT_EQ(DownloadFile(api_, kDeviceExportFile, device_.Local("stock.txt")),
              CopyOutcome::kNoDevice);
    const std::string written = testing::internal::GetCapturedStderr();
    ASSERT_EQ(g_recorded.size(), 1U);
    EXPECT_EQ(g_recorded[0].outcome, CopyOutcome::kNoDevice);
    ASSERT_EQ(g_recorded[0].lines.size(), 2U);
    EXPECT_EQ(written, "FileCopy: " + g_recorded[0].lines[0] +
                           "\nFileCopy: " + g_recorded[0].lines[1] + "\n");
    EXPECT_EQ(g_recorded[0].lines[1], Say(Text::kHandheldLocked));
  }
  SetLanguage(Language::kEnglish);
  EXPECT_EQ(TakeReportedCopyErrors(), 2);
}

TEST_F(EndRecordTest, HasACopyMadesBytes) {
  WriteFileBytes(device_.Local("stock.txt"), RandomBytes(10241, 3));
  EXPECT_EQ(UploadFile(api_, device_.Local("stock.txt"), kDeviceImportFile), CopyOutcome::kCopied);
  ASSERT_EQ(g_recorded.size(), 1U);
  EXPECT_EQ(g_recorded[0].outcome, CopyOutcome::kCopied);
  EXPECT_EQ(g_recorded[0].lines, std::vector<std::string>{});
  EXPECT_EQ(g_recorded[0].bytes, 10241U);
}

}  // namespace
