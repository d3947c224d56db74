#include "app/entry.h"

#include <memory>

#include "app/options.h"
#include "app/usage.h"
#include "device/remote_api/trapi.h"
#include "device/transfer/transfer.h"

int RunFileCopy(const std::vector<std::string>& arguments) {
  const Invocation invocation = ParseCommandLine(arguments);
  if (invocation.command == Command::kShowUsage) {
    ShowUsage();
    return kExitSuccess;
  }
  // The binding exists only for the transfer, so the usage screen never
  // touches the remote library.
  auto api = std::make_unique<TRAPI>();
  const bool copied = invocation.command == Command::kDownload
                          ? DownloadFile(*api, kDeviceExportFile, invocation.file)
                          : UploadFile(*api, invocation.file, kDeviceImportFile);
  api.reset();
  return copied ? kExitSuccess : kExitCopyFailed;
}
