#include "app/entry.h"

#include <memory>

#include "app/language.h"
#include "app/options.h"
#include "app/texts.h"
#include "app/usage.h"
#include "device/remote_api/trapi.h"
#include "device/transfer/copy_failure.h"
#include "device/transfer/transfer.h"
#include "platform/environment.h"
#include "platform/stop.h"

int RunFileCopy(const std::vector<std::string>& arguments) {
  const Invocation invocation = ParseCommandLine(arguments);
  if (invocation.command == Command::kShowUsage) {
    ShowUsage();
    return kExitSuccess;
  }
  SetLanguage(ChooseLanguage(platform::EnvironmentVariable("FILECOPY_LANGUAGE"),
                             platform::CurrentUserLocale()));
  // Ctrl+C stays a key on the usage screen; during a copy it stops the copy.
  const platform::StopHandling stops(ProgramLine(Say(Text::kStoppedBeforeComplete)));
  // The binding exists only for the transfer, so the usage screen never
  // touches the remote library.
  auto api = std::make_unique<TRAPI>();
  const CopyOutcome outcome = invocation.command == Command::kDownload
                                  ? DownloadFile(*api, kDeviceExportFile, invocation.file)
                                  : UploadFile(*api, invocation.file, kDeviceImportFile);
  api.reset();
  switch (outcome) {
    case CopyOutcome::kCopied: return kExitSuccess;
    case CopyOutcome::kNoDevice: return kExitNoDevice;
    case CopyOutcome::kStopped: return platform::StoppedExitStatus();
    case CopyOutcome::kFailed: break;
  }
  return kExitCopyFailed;
}
