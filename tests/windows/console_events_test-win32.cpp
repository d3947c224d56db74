// Which console events stop a copy, in a window station a person sees and in
// one nobody sees (a scheduled task, a service). Wine raises neither logoff
// nor the console's closing, so the choice is tested here.
#include <gtest/gtest.h>
#include <windows.h>

#include <ostream>
#include <string>

#include "platform/stop-win32.h"

namespace {

using platform::ConsoleEventEffect;

bool g_visible = true;
int g_asked = 0;

bool StationVisible() {
  ++g_asked;
  return g_visible;
}

struct EventCase {
  const char* name;
  DWORD event;
  bool visible;
  ConsoleEventEffect effect;
};

// Failures name the row, not its bytes.
void PrintTo(const EventCase& row, std::ostream* out) { *out << row.name; }

class ConsoleEvents : public ::testing::TestWithParam<EventCase> {};

// The station is asked about only for a logoff, where the answer matters.
TEST_P(ConsoleEvents, StopTheCopyOrNot) {
  g_visible = GetParam().visible;
  g_asked = 0;
  EXPECT_EQ(platform::EffectOf(GetParam().event, StationVisible), GetParam().effect);
  EXPECT_EQ(g_asked, GetParam().event == CTRL_LOGOFF_EVENT ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Events, ConsoleEvents,
    ::testing::Values(
        EventCase{"CtrlC", CTRL_C_EVENT, true, ConsoleEventEffect::kStops},
        EventCase{"CtrlCUnseen", CTRL_C_EVENT, false, ConsoleEventEffect::kStops},
        EventCase{"CtrlBreakUnseen", CTRL_BREAK_EVENT, false, ConsoleEventEffect::kStops},
        EventCase{"ConsoleClosed", CTRL_CLOSE_EVENT, true, ConsoleEventEffect::kStops},
        EventCase{"ConsoleClosedUnseen", CTRL_CLOSE_EVENT, false, ConsoleEventEffect::kStops},
        EventCase{"Logoff", CTRL_LOGOFF_EVENT, true, ConsoleEventEffect::kStops},
        // Any user's logoff reaches a task's process.
        EventCase{"LogoffUnseen", CTRL_LOGOFF_EVENT, false, ConsoleEventEffect::kIgnored},
        EventCase{"ShutdownUnseen", CTRL_SHUTDOWN_EVENT, false, ConsoleEventEffect::kStops},
        EventCase{"Unknown", 3, true, ConsoleEventEffect::kNotOurs}),
    [](const ::testing::TestParamInfo<EventCase>& test) { return std::string(test.param.name); });

}  // namespace
