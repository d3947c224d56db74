#include "device/transfer/copy_failure.h"

#include "device/transfer/report_copy_error.h"
#include "platform/console.h"

std::string Quoted(const std::string& device_path) { return "\"" + device_path + "\""; }

void ThrowDeviceFailure(const char* action, const std::string& file, const std::string& reason) {
  throw CopyFailure(std::string("cannot ") + action + " device file " + file + ": " + reason);
}

void ReportFailure(const std::string& description) {
  platform::WriteErrorLine("FileCopy: " + description);
  ReportCopyError();
}
