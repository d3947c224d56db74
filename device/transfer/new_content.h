#pragma once

#include <atomic>
#include <string>
#include <utility>

// Where a copy's new content is, written by the copy's thread and read by the
// thread watching its remote calls, which must know whether a stop may end
// the process in the call it waits for, and what to say then. One atomic
// word: the paths are set before the replacement begins and never after, so
// a reader that sees it begun sees them too.
class NewContent {
 public:
  enum class Place {
    kNotYet,      // nothing of the target changed: a stop may end the copy
    kOldGoing,    // staged, the old target being deleted to make room
    kBeingMoved,  // the staged file being moved into the target's place
    kInPlace,     // the target holds it: a stop now comes after the copy
  };

  Place place() const { return place_.load(std::memory_order_acquire); }
  // Once, before the place leaves kNotYet: the staged file and the target,
  // quoted as messages show them.
  void Name(std::string staged, std::string target) {
    staged_ = std::move(staged);
    target_ = std::move(target);
  }
  void Set(Place place) { place_.store(place, std::memory_order_release); }
  // Only once the place has been seen past kNotYet.
  const std::string& staged() const { return staged_; }
  const std::string& target() const { return target_; }

 private:
  std::atomic<Place> place_{Place::kNotYet};
  std::string staged_;
  std::string target_;
};
