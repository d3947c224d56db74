#include "platform/stop-win32.h"

#include <windows.h>

#include <string>

#include "platform/full_path-win32.h"
#include "platform/stop.h"
#include "platform/window_station-win32.h"

namespace platform {
namespace {

// Set by the console's handler thread, read by the copy.
volatile LONG g_requested = 0;
HANDLE g_stop_event = nullptr;
// Held while an interrupt is set or run, so it never outlives its call.
CRITICAL_SECTION g_blocking_lock;
void (*g_interrupt)(void*) = nullptr;
void* g_interrupt_context = nullptr;
std::wstring g_removal;
HANDLE g_removal_held = INVALID_HANDLE_VALUE;

bool EndsTheProcess(DWORD event) {
  return event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (EffectOf(event, WindowStationVisible)) {
    case ConsoleEventEffect::kNotOurs: return FALSE;
    case ConsoleEventEffect::kIgnored: return TRUE;
    case ConsoleEventEffect::kStops: break;
  }
  InterlockedExchange(&g_requested, 1);
  SetEvent(g_stop_event);
  EnterCriticalSection(&g_blocking_lock);
  if (g_interrupt != nullptr) g_interrupt(g_interrupt_context);
  LeaveCriticalSection(&g_blocking_lock);
  // Returning would end the process now; the copy ends it once tidied, and
  // Windows itself after a few seconds.
  if (EndsTheProcess(event)) Sleep(INFINITE);
  return TRUE;
}

// Outside a StopHandling there is no lock, and no stop to interrupt for.
void SetInterrupt(void (*interrupt)(void*), void* context) {
  if (g_stop_event == nullptr) return;
  EnterCriticalSection(&g_blocking_lock);
  g_interrupt = interrupt;
  g_interrupt_context = context;
  LeaveCriticalSection(&g_blocking_lock);
}

DWORD Milliseconds(std::optional<std::chrono::milliseconds> limit) {
  if (!limit) return INFINITE;
  if (limit->count() <= 0) return 0;
  return limit->count() >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(limit->count());
}

}  // namespace

ConsoleEventEffect EffectOf(unsigned long event, bool (*station_visible)()) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_SHUTDOWN_EVENT: return ConsoleEventEffect::kStops;
    // A process in a window station nobody sees (a scheduled task, a service)
    // gets the logoff of any user, not the one who started it: the copy goes on.
    case CTRL_LOGOFF_EVENT:
      return station_visible() ? ConsoleEventEffect::kStops : ConsoleEventEffect::kIgnored;
    default: return ConsoleEventEffect::kNotOurs;
  }
}

// The event and the lock stay for the rest of the process: the handler's
// thread may still be using them as the copy ends. The line is never needed:
// a stop never ends the process from the handler's thread.
StopHandling::StopHandling(std::string /*stopped_line*/) {
  g_requested = 0;
  if (g_stop_event == nullptr) {
    InitializeCriticalSection(&g_blocking_lock);
    g_stop_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  }
  ResetEvent(g_stop_event);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

StopHandling::~StopHandling() { SetConsoleCtrlHandler(OnConsoleEvent, FALSE); }

int StoppedExitStatus() { return 1; }

bool StopRequested() { return InterlockedCompareExchange(&g_requested, 0, 0) != 0; }

void ThrowIfStopRequested() {
  if (StopRequested()) throw Stopped();
}

bool StopRequestedWithin(std::chrono::milliseconds period) {
  if (g_stop_event == nullptr) {
    Sleep(Milliseconds(period));
  } else {
    WaitForSingleObject(g_stop_event, Milliseconds(period));
  }
  return StopRequested();
}

EventWait WaitForEvent(NativeEvent event, std::optional<std::chrono::milliseconds> limit) {
  if (StopRequested()) return EventWait::kStopped;
  const HANDLE events[2] = {event, g_stop_event};
  const DWORD count = g_stop_event != nullptr ? 2 : 1;
  const DWORD result = WaitForMultipleObjects(count, events, FALSE, Milliseconds(limit));
  if (StopRequested()) return EventWait::kStopped;
  if (result == WAIT_OBJECT_0) return EventWait::kSet;
  if (result == WAIT_TIMEOUT) return EventWait::kTimedOut;
  return EventWait::kFailed;
}

std::optional<NativeEvent> StopEvent() {
  if (g_stop_event == nullptr) return std::nullopt;
  return g_stop_event;
}

void RemoveOnAbruptStop(const std::string& path, NativeFile held) {
  g_removal = path.empty() ? std::wstring() : ExtendedPath(path);
  g_removal_held = path.empty() ? INVALID_HANDLE_VALUE : held;
}

// The copy's thread holds the file without sharing, and never touches it again.
void RemoveTemporaryFileNow() {
  if (g_removal.empty()) return;
  if (g_removal_held != INVALID_HANDLE_VALUE) CloseHandle(g_removal_held);
  DeleteFileW(g_removal.c_str());
}

// At once: no DLL is told, so none can hold the end up, the stuck library's least of all.
void EndProcessNow(int status) {
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
  for (;;) Sleep(INFINITE);
}

void ParkForGood() {
  for (;;) Sleep(INFINITE);
}

BlockingCall::BlockingCall(void (*interrupt)(void*), void* context) {
  SetInterrupt(interrupt, context);
  // A stop that came before is handled the usual way; one that comes later, by the interrupt.
  if (StopRequested()) {
    SetInterrupt(nullptr, nullptr);
    throw Stopped();
  }
}

BlockingCall::~BlockingCall() { SetInterrupt(nullptr, nullptr); }

}  // namespace platform
