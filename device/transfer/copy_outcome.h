#pragma once

enum class CopyOutcome {
  kCopied,
  kFailed,    // reported to the user
  kNoDevice,  // no device connected, none within the bound, or the link lost; reported
  kStopped,   // someone stopped it; said on standard error, no window
};

// How the process ends with an outcome that the copy's own thread cannot
// return, as it is stuck in a remote call: one that hangs, or one a stop
// cannot wait for. The owner of the transfers says so once, before any copy;
// it is called on another thread, once the outcome's line is written and the
// local side tidied, and must not return.
using AbruptEnd = void (*)(CopyOutcome outcome);
void SetAbruptEnd(AbruptEnd end);
[[noreturn]] void EndAbruptly(CopyOutcome outcome);
