#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "sim/host_file.h"

#ifndef _WIN32
#include <thread>
#endif

// The host's waiting and threads, for a device that docks late or never:
// host_event-posix.cpp and host_event-win32.cpp are the only code that calls
// the operating system for them. mingw-w64's default thread model has no
// std::thread or std::mutex, hence Windows' own objects there.

namespace sim {

// A manual-reset event one thread sets and others wait for. What a caller of
// CeRapiInitEx waits on is Waitable(): the event object on Windows, on POSIX
// the read end of a pipe (close-on-exec) that turns readable once set.
class HostEvent {
 public:
  // Not open on failure.
  static HostEvent Create();

  HostEvent() = default;
  ~HostEvent();
  HostEvent(HostEvent&& other) noexcept;
  HostEvent& operator=(HostEvent&& other) noexcept;
  HostEvent(const HostEvent&) = delete;
  HostEvent& operator=(const HostEvent&) = delete;

  bool IsOpen() const;
  HostDescriptor Waitable() const { return waitable_; }
  void Set();
  // Whether it was set within that many milliseconds; without them, waits
  // until it is.
  bool Wait(std::optional<std::uint64_t> milliseconds) const;

 private:
  void Close();

#ifdef _WIN32
  static inline const HostDescriptor kClosed = nullptr;
#else
  static constexpr HostDescriptor kClosed = -1;
  HostDescriptor setter_ = kClosed;
#endif
  HostDescriptor waitable_ = kClosed;
};

// A plain mutual exclusion lock, held by a Hold for one scope.
class HostLock {
 public:
  HostLock();
  ~HostLock();
  HostLock(const HostLock&) = delete;
  HostLock& operator=(const HostLock&) = delete;

  class Hold {
   public:
    explicit Hold(HostLock& lock) : lock_(lock) { lock_.Acquire(); }
    ~Hold() { lock_.Release(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    HostLock& lock_;
  };

 private:
  struct State;
  void Acquire();
  void Release();

  std::unique_ptr<State> state_;
};

// A thread running one function, joined when it is destroyed at the latest.
class HostThread {
 public:
  // Not running on failure.
  static HostThread Start(std::function<void()> body);

  HostThread() = default;
  ~HostThread() { Join(); }
  HostThread(HostThread&& other) noexcept;
  HostThread& operator=(HostThread&& other) noexcept;
  HostThread(const HostThread&) = delete;
  HostThread& operator=(const HostThread&) = delete;

  bool IsRunning() const;
  void Join();

 private:
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  std::thread thread_;
#endif
};

void HostPause(std::uint64_t milliseconds);

}  // namespace sim
