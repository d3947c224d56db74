#include "local/local_target.h"

#include <utility>

#include "local/file_rules.h"
#include "local/held_files.h"
#include "local/temporary_name.h"
#include "platform/stop.h"
#include "texts/texts.h"

namespace {

constexpr int kTemporaryNameAttempts = 100;

// A running copy holds its temporary file, so one that can be taken was left
// by a run that no longer runs. Anything that cannot be taken is left alone:
// where the system has no locks, everything.
void RemoveAbandonedCopies(const std::string& target, NameLimit limit) {
  const std::size_t name_start = FileNameStart(target, platform::kPathSeparators);
  const std::string folder = target.substr(0, name_start);
  const std::string name = target.substr(name_start);
  for (const std::string& entry : platform::FolderNames(folder)) {
    if (!IsTemporaryNameOf(entry, name, limit)) continue;
    platform::FileHandle abandoned;
    if (!platform::TakeHeld(folder + entry, abandoned).failed()) {
      platform::RemoveHeld(abandoned, folder + entry);
    }
  }
}

}  // namespace

LocalTarget::LocalTarget(std::string path) : path_(std::move(path)) {
  const std::string name = path_.substr(FileNameStart(path_, platform::kPathSeparators));
  if (name.empty()) throw FileFailure(FileStep::kCreate, path_, Say(Text::kLocalNoFileName));
  if (platform::kDeviceNamesReserved && IsWindowsDeviceName(name)) {
    throw FileFailure(FileStep::kCreate, path_, Say(Text::kLocalNotRegularFile));
  }
  const platform::PathFacts facts = platform::Examine(path_);
  replaced_path_ = facts.target.empty() ? path_ : facts.target;
  switch (RuleFor(facts)) {
    case TargetRule::kNotARegularFile:
      throw FileFailure(FileStep::kCreate, path_, Say(Text::kLocalNotRegularFile));
    case TargetRule::kDanglingLink:
      throw FileFailure(FileStep::kCreate, path_, Say(Text::kLocalDanglingLink));
    case TargetRule::kUnresolvedLink:
      throw FileFailure(FileStep::kCreate, path_, Say(Text::kLocalUnresolvedLink));
    case TargetRule::kCreate: break;
    case TargetRule::kReplace: {
      // One that could never be written fails before the device is contacted.
      const platform::FileError error =
          Persistently([&] { return platform::CheckReplaceable(replaced_path_); });
      if (error.failed() && error.problem != platform::FileProblem::kMissing) {
        throw FileFailure(IsHeld(error) ? FileStep::kReplace : FileStep::kCreate, path_,
                          ReasonFor(replaced_path_, error));
      }
      break;
    }
  }
  names_ = NameLimit{platform::LongestFileName(replaced_path_.substr(
                         0, FileNameStart(replaced_path_, platform::kPathSeparators))),
                     platform::kNameLengthInUtf16Units};
  RemoveAbandonedCopies(replaced_path_, names_);
  CreateTemporaryFile();
}

LocalTarget::~LocalTarget() { Discard(); }

// A name another copy drew as well is drawn again.
void LocalTarget::CreateTemporaryFile() {
  platform::FileError error;
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    temporary_path_ = TemporaryPathFor(replaced_path_, names_);
    error = Uninterrupted([&] { return platform::CreateHeld(temporary_path_, file_); });
    if (error.problem != platform::FileProblem::kExists) break;
  }
  Check(FileStep::kCreate, error);
  pending_ = true;
  platform::RemoveOnAbruptStop(temporary_path_, file_.native());
  const platform::FileError permissions = platform::TakePermissions(file_, replaced_path_);
  // The constructor fails, so no destructor will.
  if (permissions.failed()) Discard();
  Check(FileStep::kCreate, permissions);
}

void LocalTarget::Write(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    std::size_t count = 0;
    Check(FileStep::kWrite,
          Uninterrupted([&] { return platform::Write(file_, bytes, size, count); }));
    bytes += count;
    size -= count;
  }
}

// The data reaches the disk before the new name does, so a power cut leaves
// the old file or the whole new one. Renamed while still held, so another
// download's tidying cannot take it. Once renamed, the new content is in
// place, but until the rename has reached the disk a power cut may still
// undo it, so that failure is reported all the same.
void LocalTarget::Commit(const std::function<void()>& placed) {
  Check(FileStep::kFlush, Uninterrupted([&] { return platform::FlushData(file_); }));
  platform::ThrowIfStopRequested();
  Check(FileStep::kReplace, Persistently([&] {
          return platform::ReplaceWith(file_, temporary_path_, replaced_path_);
        }));
  pending_ = false;
  platform::RemoveOnAbruptStop("");
  placed();
  Check(FileStep::kFlush, platform::FlushReplacement(file_, replaced_path_));
  Check(FileStep::kWrite, file_.Close());
}

void LocalTarget::Check(FileStep step, const platform::FileError& error) {
  if (error.failed()) throw FileFailure(step, path_, ReasonFor(replaced_path_, error));
}

void LocalTarget::Discard() noexcept {
  if (pending_) {
    platform::RemoveOnAbruptStop("");
    platform::RemoveHeld(file_, temporary_path_);
  }
  pending_ = false;
  file_.Close();
}
