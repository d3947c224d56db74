#include <windows.h>

#include <utility>

#include "platform/stop.h"
#include "platform/watch_thread.h"

namespace platform {

struct WatchThread::State {
  Check check;
  HANDLE end = nullptr;  // a manual-reset event, set to end the thread
  HANDLE thread = nullptr;

  static DWORD WINAPI Run(void* state) {
    const auto& self = *static_cast<const State*>(state);
    const std::optional<NativeEvent> stop = StopEvent();
    bool stop_seen = false;
    for (;;) {
      const long long wait = self.check().count();
      const HANDLE events[2] = {self.end, stop.value_or(nullptr)};
      const DWORD count = stop && !stop_seen ? 2 : 1;
      const DWORD milliseconds = wait <= 0              ? 0
                                 : wait >= INFINITE - 1 ? INFINITE - 1
                                                        : static_cast<DWORD>(wait);
      const DWORD woken = WaitForMultipleObjects(count, events, FALSE, milliseconds);
      if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED) return 0;
      // Set for good once set, so it wakes the thread once.
      if (woken == WAIT_OBJECT_0 + 1) stop_seen = true;
    }
  }
};

WatchThread::WatchThread(Check check) : state_(std::make_unique<State>()) {
  state_->check = std::move(check);
  state_->end = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (state_->end == nullptr) return;
  state_->thread = CreateThread(nullptr, 0, &State::Run, state_.get(), 0, nullptr);
}

WatchThread::~WatchThread() {
  if (state_->thread != nullptr) {
    SetEvent(state_->end);
    WaitForSingleObject(state_->thread, INFINITE);
    CloseHandle(state_->thread);
  }
  if (state_->end != nullptr) CloseHandle(state_->end);
}

}  // namespace platform
