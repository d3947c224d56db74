#include "local/held_files.h"

#include <algorithm>
#include <set>

#include "platform/file_holders.h"
#include "platform/stop.h"
#include "texts/texts.h"

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kFirstPause{50};
constexpr milliseconds kLongestPause{1000};
constexpr milliseconds kAllPauses{5000};

std::string HolderName(const platform::FileHolder& holder) {
  if (holder.application.empty() || holder.application == holder.image) return holder.image;
  if (holder.image.empty()) return holder.application;
  return holder.application + " (" + holder.image + ")";
}

}  // namespace

bool IsHeld(const platform::FileError& error) {
  return error.problem == platform::FileProblem::kShared ||
         error.problem == platform::FileProblem::kDenied;
}

std::vector<milliseconds> HeldFilePauses() {
  std::vector<milliseconds> pauses;
  milliseconds total{0};
  for (milliseconds pause = kFirstPause; total < kAllPauses;
       pause = std::min(pause * 2, kLongestPause)) {
    pauses.push_back(std::min(pause, kAllPauses - total));
    total += pauses.back();
  }
  return pauses;
}

platform::FileError Uninterrupted(const std::function<platform::FileError()>& attempt) {
  for (;;) {
    platform::FileError error = attempt();
    if (error.problem != platform::FileProblem::kInterrupted) return error;
    platform::ThrowIfStopRequested();
  }
}

platform::FileError Persistently(const std::function<platform::FileError()>& attempt) {
  platform::FileError error = Uninterrupted(attempt);
  for (const milliseconds pause : HeldFilePauses()) {
    if (!IsHeld(error)) break;
    if (platform::StopRequestedWithin(pause)) throw platform::Stopped();
    error = Uninterrupted(attempt);
  }
  return error;
}

std::string ReasonFor(const std::string& path, const platform::FileError& error) {
  if (!IsHeld(error)) return error.reason;
  const std::string holders = HolderNames(platform::HoldersOf(path));
  if (!holders.empty()) return Say(Text::kLocalOpenIn, {holders});
  // Access denied may be the file's own permissions; only a sharing violation says it is held.
  if (error.problem == platform::FileProblem::kShared) return Say(Text::kLocalOpenElsewhere);
  return error.reason;
}

// A program with several windows or processes is named once.
std::string HolderNames(const std::vector<platform::FileHolder>& holders) {
  std::set<std::string> named;
  std::string names;
  for (const platform::FileHolder& holder : holders) {
    const std::string name = HolderName(holder);
    if (name.empty() || !named.insert(name).second) continue;
    names += (names.empty() ? "" : ", ") + name;
  }
  return names;
}
