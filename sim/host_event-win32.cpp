#include <process.h>
#include <windows.h>

#include <algorithm>
#include <utility>

#include "sim/host_event.h"

namespace sim {
namespace {

// INFINITE is all ones; longer waits go in pieces just short of it.
constexpr std::uint64_t kLongestWait = INFINITE - 1;

unsigned __stdcall RunBody(void* context) {
  const std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(context));
  (*body)();
  return 0;
}

}  // namespace

HostEvent HostEvent::Create() {
  HostEvent event;
  event.waitable_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return event;
}

HostEvent::~HostEvent() { Close(); }

HostEvent::HostEvent(HostEvent&& other) noexcept
    : waitable_(std::exchange(other.waitable_, kClosed)) {}

HostEvent& HostEvent::operator=(HostEvent&& other) noexcept {
  if (this != &other) {
    Close();
    waitable_ = std::exchange(other.waitable_, kClosed);
  }
  return *this;
}

bool HostEvent::IsOpen() const { return waitable_ != kClosed; }

void HostEvent::Set() { SetEvent(waitable_); }

bool HostEvent::Wait(std::optional<std::uint64_t> milliseconds) const {
  if (!milliseconds) return WaitForSingleObject(waitable_, INFINITE) == WAIT_OBJECT_0;
  std::uint64_t left = *milliseconds;
  while (true) {
    const std::uint64_t piece = std::min(left, kLongestWait);
    if (WaitForSingleObject(waitable_, static_cast<DWORD>(piece)) == WAIT_OBJECT_0) return true;
    left -= piece;
    if (left == 0) return false;
  }
}

void HostEvent::Close() {
  if (IsOpen()) CloseHandle(std::exchange(waitable_, kClosed));
}

struct HostLock::State {
  CRITICAL_SECTION section;
};

HostLock::HostLock() : state_(std::make_unique<State>()) {
  InitializeCriticalSection(&state_->section);
}
HostLock::~HostLock() { DeleteCriticalSection(&state_->section); }
void HostLock::Acquire() { EnterCriticalSection(&state_->section); }
void HostLock::Release() { LeaveCriticalSection(&state_->section); }

// _beginthreadex rather than CreateThread, so the C runtime is set up for it.
HostThread HostThread::Start(std::function<void()> body) {
  HostThread thread;
  auto context = std::make_unique<std::function<void()>>(std::move(body));
  const std::uintptr_t handle = _beginthreadex(nullptr, 0, RunBody, context.get(), 0, nullptr);
  if (handle == 0) return thread;
  context.release();  // RunBody owns it now
  thread.handle_ = reinterpret_cast<void*>(handle);
  return thread;
}

HostThread::HostThread(HostThread&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

HostThread& HostThread::operator=(HostThread&& other) noexcept {
  if (this != &other) {
    Join();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

bool HostThread::IsRunning() const { return handle_ != nullptr; }

void HostThread::Join() {
  if (!handle_) return;
  WaitForSingleObject(handle_, INFINITE);
  CloseHandle(std::exchange(handle_, nullptr));
}

void HostPause(std::uint64_t milliseconds) {
  while (milliseconds != 0) {
    const std::uint64_t piece = std::min(milliseconds, kLongestWait);
    Sleep(static_cast<DWORD>(piece));
    milliseconds -= piece;
  }
}

}  // namespace sim
