#pragma once

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>

// A person stopping a copy: Ctrl+C, Ctrl+Break, the console window closed,
// logoff or shutdown on Windows; SIGINT, SIGTERM, SIGHUP or SIGQUIT on POSIX.

namespace platform {

// While it exists, those stop the copy instead of ending the process on the
// spot, so it can tidy up. One at a time. stopped_line is what a stop that
// must end the process at once writes on standard error.
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

// The temporary file a stop must remove when it has to end the process at
// once (POSIX: from its signal handler, inside a BlockingCall); empty for none.
void RemoveOnAbruptStop(const std::string& path);

#ifdef _WIN32
using NativeEvent = void*;  // an event handle
#else
using NativeEvent = int;  // a descriptor that becomes readable when set
#endif

enum class EventWait { kSet, kStopped, kTimedOut, kFailed };

// Waits until the event is set or a stop is requested, for at most limit
// (nothing: for as long as it takes).
EventWait WaitForEvent(NativeEvent event, std::optional<std::chrono::milliseconds> limit);

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
