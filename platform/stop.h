#pragma once

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/native_file.h"

// A person stopping a copy: Ctrl+C, Ctrl+Break, the console window closed,
// logoff or shutdown on Windows; SIGINT, SIGTERM, SIGHUP or SIGQUIT on POSIX.

namespace platform {

// While it exists, those stop the copy instead of ending the process on the
// spot, so it can tidy up. One at a time. stopped_line is what a POSIX stop
// inside a BlockingCall, which ends the process at once, writes on standard error.
class StopHandling {
 public:
  explicit StopHandling(std::string stopped_line);
  ~StopHandling();
  StopHandling(const StopHandling&) = delete;
  StopHandling& operator=(const StopHandling&) = delete;
};

// The exit status of a stopped run, once everything is tidied. On POSIX the
// stop signal is raised again, so the parent sees it; on Windows it is 1,
// which batch files read as a failure (0xC000013A would read as negative).
int StoppedExitStatus();

// Raised where a copy notices that it was asked to stop.
class Stopped : public std::runtime_error {
 public:
  Stopped() : std::runtime_error("copy stopped") {}
};

bool StopRequested();
void ThrowIfStopRequested();
// Waits for period, or less when a stop comes; whether one has come.
bool StopRequestedWithin(std::chrono::milliseconds period);

#ifdef _WIN32
using NativeEvent = void*;  // an event handle
#else
using NativeEvent = int;  // a descriptor that becomes readable when set
#endif

enum class EventWait { kSet, kStopped, kTimedOut, kFailed };

// Waits until the event is set or a stop is requested, for at most limit
// (nothing: for as long as it takes).
EventWait WaitForEvent(NativeEvent event, std::optional<std::chrono::milliseconds> limit);

// What a thread of its own can wait on for a stop besides its own events: set
// once one is requested, and for good; nothing outside a StopHandling.
std::optional<NativeEvent> StopEvent();

// The local temporary file that an end without the copy's own tidying must
// still remove, and what holds it open, which Windows must close first (it
// deletes no file held without sharing); an empty path for none. Such an end
// comes from a POSIX stop inside a BlockingCall, or from a thread watching a
// remote call that hangs (below).
void RemoveOnAbruptStop(const std::string& path, NativeFile held = {});

// For a thread watching the copy's own, while that one is stuck in a call that
// may never return: the registered temporary file removed now, and the
// process ended at once with an exit status.
void RemoveTemporaryFileNow();
[[noreturn]] void EndProcessNow(int status);
// Parks the calling thread for good: the copy's own, once such an end has
// taken over its call.
[[noreturn]] void ParkForGood();

// Around a library call that blocks without watching for a stop. A stop
// meanwhile calls interrupt(context) on Windows, from the thread the system
// runs the stop on: the remote API returns from CeRapiInit when another
// thread calls CeRapiUninit. A POSIX signal handler may call none of the
// library, so there the process ends at once, its temporary file removed.
class BlockingCall {
 public:
  BlockingCall(void (*interrupt)(void*), void* context);
  ~BlockingCall();
  BlockingCall(const BlockingCall&) = delete;
  BlockingCall& operator=(const BlockingCall&) = delete;
};

}  // namespace platform
