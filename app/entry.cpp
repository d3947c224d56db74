#include "app/entry.h"

#include <memory>
#include <optional>

#include "app/language.h"
#include "app/options.h"
#include "app/run_event.h"
#include "app/usage.h"
#include "device/remote_api/trapi.h"
#include "device/transfer/copy_failure.h"
#include "device/transfer/transfer.h"
#include "platform/environment.h"
#include "platform/event_log.h"
#include "platform/monotonic_clock.h"
#include "platform/stop.h"
#include "platform/system_error.h"
#include "platform/user_locale.h"
#include "texts/texts.h"

namespace {

using Clock = platform::MonotonicClock;

constexpr const char* kEventLogVariable = "FILECOPY_EVENT_LOG";

int ExitStatusFor(CopyOutcome outcome) {
  switch (outcome) {
    case CopyOutcome::kCopied: return kExitSuccess;
    case CopyOutcome::kNoDevice: return kExitNoDevice;
    case CopyOutcome::kStopped: return platform::StoppedExitStatus();
    case CopyOutcome::kFailed: break;
  }
  return kExitCopyFailed;
}

// The copy's own thread is stuck in a remote call, so the process ends here.
void EndStuckCopy(CopyOutcome outcome) { platform::EndProcessNow(ExitStatusFor(outcome)); }

// What this run's event is made of. Set before the copy starts, and only read
// after, by whichever thread ends it.
struct RunRecord {
  EventLogSetting setting = EventLogSetting::kOff;
  std::string option;
  std::string file;
  Clock::time_point started;
};
RunRecord g_run;

void WriteRunEvent(const CopyEnd& end) noexcept {
  try {
    const std::optional<RunEvent> event =
        EventFor(g_run.setting, end, g_run.option, g_run.file, Clock::now() - g_run.started);
    if (event) platform::WriteEvent(kEventSource, event->type, event->id, event->strings);
  } catch (...) {
    // Not even composed (no memory): the copy's end stands as it is.
  }
}

}  // namespace

int RunFileCopy(const std::vector<std::string>& arguments) {
  const Invocation invocation = ParseCommandLine(arguments);
  if (invocation.command == Command::kShowUsage) {
    ShowUsage();
    return kExitSuccess;
  }
  const platform::UserLocale locale = platform::CurrentUserLocale();
  const Language language =
      ChooseLanguage(platform::EnvironmentVariable("FILECOPY_LANGUAGE"), locale);
  SetLanguage(language);
  platform::SetSystemTextLanguage(SystemTextsFor(language, locale));
  // Ctrl+C stays a key on the usage screen; during a copy it stops the copy.
  const platform::StopHandling stops(ProgramLine(Say(Text::kStoppedBeforeComplete)));
  // Where the system keeps no log, the variable is not even read.
  const std::optional<std::string> event_log =
      platform::HasEventLog() ? platform::EnvironmentVariable(kEventLogVariable) : "off";
  const std::optional<EventLogSetting> setting = EventLogSettingFrom(event_log);
  g_run = {setting.value_or(EventLogSetting::kFailures),
           invocation.command == Command::kDownload ? "-d" : "-u", invocation.file, Clock::now()};
  SetEndRecord(&WriteRunEvent);
  // A value of no known meaning is refused before anything is touched, and
  // recorded as failures are by default.
  if (!setting) {
    ReportFailure(CopyOutcome::kFailed, Say(Text::kBadEventLog, {kEventLogVariable, *event_log}));
    return ExitStatusFor(CopyOutcome::kFailed);
  }
  // The binding exists only for the transfer, so the usage screen never
  // touches the remote library.
  SetAbruptEnd(&EndStuckCopy);
  auto api = std::make_unique<TRAPI>();
  const CopyOutcome outcome = invocation.command == Command::kDownload
                                  ? DownloadFile(*api, kDeviceExportFile, invocation.file)
                                  : UploadFile(*api, invocation.file, kDeviceImportFile);
  api.reset();
  return ExitStatusFor(outcome);
}
