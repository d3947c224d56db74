#include "device/transfer/copy_failure.h"

#include "device/transfer/report_copy_error.h"
#include "platform/console.h"

void ThrowDeviceFailure(const char* action, const std::string& device_path,
                        const std::string& reason) {
  throw CopyFailure(std::string("cannot ") + action + " device file \"" + device_path +
                    "\": " + reason);
}

void ReportFailure(const std::string& description) {
  platform::WriteErrorLine("FileCopy: " + description);
  ReportCopyError();
}
