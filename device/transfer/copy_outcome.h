#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class CopyOutcome {
  kCopied,
  kFailed,    // reported to the user
  kNoDevice,  // no device connected, none within the bound, or the link lost; reported
  kStopped,   // someone stopped it; said on standard error, no window
};

// How a copy ended, for a record kept beyond standard error.
struct CopyEnd {
  CopyOutcome outcome = CopyOutcome::kCopied;
  // What it said of its end on standard error, line by line, without the
  // program's name: a failure and its advice, if any, or a stop; nothing for
  // a copy made.
  std::vector<std::string> lines;
  std::uint64_t bytes = 0;  // copied, for a copy made
};

// Where a copy's end is recorded besides standard error: the owner of the
// transfers says so once, before any copy. It is told once per copy, by the
// thread that ends it, once the lines are written and before any window is
// shown, the abrupt ends below included. It cannot fail the copy.
using EndRecord = void (*)(const CopyEnd& end) noexcept;
void SetEndRecord(EndRecord record);
void RecordEnd(const CopyEnd& end);

// How the process ends with an outcome that the copy's own thread cannot
// return, as it is stuck in a remote call: one that hangs, or one a stop
// cannot wait for. The owner of the transfers says so once, before any copy;
// it is called on another thread, once the outcome's line is written and
// recorded and the local side tidied, and must not return.
using AbruptEnd = void (*)(CopyOutcome outcome);
void SetAbruptEnd(AbruptEnd end);
[[noreturn]] void EndAbruptly(CopyOutcome outcome);
