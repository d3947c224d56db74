#include "device/transfer/copy_outcome.h"

#include <atomic>
#include <cstdlib>

namespace {

std::atomic<EndRecord> g_record{nullptr};
std::atomic<AbruptEnd> g_end{nullptr};

}  // namespace

void SetEndRecord(EndRecord record) { g_record = record; }

void RecordEnd(const CopyEnd& end) {
  if (const EndRecord record = g_record) record(end);
}

void SetAbruptEnd(AbruptEnd end) { g_end = end; }

void EndAbruptly(CopyOutcome outcome) {
  if (const AbruptEnd end = g_end) end(outcome);
  // An owner that returns, or none: the process must end all the same.
  std::abort();
}
