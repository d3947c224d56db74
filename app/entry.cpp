#include "app/entry.h"

#include <memory>

#include "app/language.h"
#include "app/options.h"
#include "app/usage.h"
#include "device/remote_api/trapi.h"
#include "device/transfer/copy_failure.h"
#include "device/transfer/transfer.h"
#include "platform/environment.h"
#include "platform/stop.h"
#include "platform/system_error.h"
#include "platform/user_locale.h"
#include "texts/texts.h"

namespace {

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
