#include "device/transfer/report_copy_error.h"
#include "tests/reported_errors.h"

namespace {
int g_reported = 0;
}

void ReportCopyError() { ++g_reported; }

int TakeReportedCopyErrors() {
  const int reported = g_reported;
  g_reported = 0;
  return reported;
}
