#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/file_failure.h"
#include "platform/local_file.h"
#include "platform/stop.h"
#include "platform/system_error.h"

namespace platform {
namespace {

// Whether an existing target could be written in place, so a copy that could
// never be stored fails before the device is contacted.
void CheckReplaceable(const std::string& path) {
  if (path.empty()) {
    errno = ENOENT;
    throw FileFailure(FileStep::kCreate, path, LastSystemErrorText());
  }
  const int probe = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (probe >= 0) {
    close(probe);
  } else if (errno != ENOENT) {
    throw FileFailure(FileStep::kCreate, path, LastSystemErrorText());
  }
}

// A symbolic link stays a link: the file it names gets the new content.
std::string FileBehindLinks(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string file(resolved);
  std::free(resolved);
  return file;
}

constexpr const char* kTemporaryInfix = ".filecopy-";
constexpr const char* kTemporaryPattern = "XXXXXX";
constexpr int kTemporaryNameAttempts = 100;

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

bool SameFile(int descriptor, const std::string& path) {
  struct stat held {};
  struct stat named {};
  return fstat(descriptor, &held) == 0 && lstat(path.c_str(), &named) == 0 &&
         held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

// Whether a name is one of ours for that target: the infix, then what mkstemp puts in.
bool IsTemporaryOf(const std::string& name, const std::string& target_name) {
  const std::string stem = target_name + kTemporaryInfix;
  if (name.size() != stem.size() + std::char_traits<char>::length(kTemporaryPattern) ||
      name.compare(0, stem.size(), stem) != 0) {
    return false;
  }
  for (std::size_t i = stem.size(); i < name.size(); ++i) {
    const char c = name[i];
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

// A running copy holds its temporary file locked, so one that can be locked
// was left by a run that no longer runs. Anything that cannot be taken (not
// ours to read, not a plain file) is left alone.
void RemoveAbandonedCopies(const std::string& target) {
  const std::string folder = FolderOf(target);
  DIR* listing = opendir(folder.c_str());
  if (listing == nullptr) return;
  const std::string target_name = NameOf(target);
  // cppcheck-suppress readdirCalled ; one thread, and readdir_r is the deprecated one
  while (const dirent* entry = readdir(listing)) {
    if (!IsTemporaryOf(entry->d_name, target_name)) continue;
    const std::string path = folder + "/" + entry->d_name;
    const int file = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file < 0) continue;
    struct stat status {};
    if (fstat(file, &status) == 0 && S_ISREG(status.st_mode) &&
        flock(file, LOCK_EX | LOCK_NB) == 0 && SameFile(file, path)) {
      unlink(path.c_str());
    }
    close(file);
  }
  closedir(listing);
}

// Created and then locked: a removal that takes it in the moment between
// has made the name useless, so another is tried.
int CreateLockedTemporary(const std::string& target, std::string& path) {
  const std::string pattern = target + kTemporaryInfix + kTemporaryPattern;
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int file = mkstemp(name.data());
    if (file < 0) return -1;
    if (flock(file, LOCK_EX | LOCK_NB) == 0 && SameFile(file, name.data())) {
      path = name.data();
      return file;
    }
    close(file);
  }
  errno = EEXIST;
  return -1;
}

bool Synced(int file) {
  int result;
  do {
    result = fsync(file);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

// The folder's entry for a renamed file reaches the disk only with the folder.
// Some systems cannot sync a folder at all (EINVAL): there is nothing to flush.
bool FolderSynced(const std::string& path) {
  const int descriptor = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return false;
  const bool synced = Synced(descriptor) || errno == EINVAL;
  const int error = errno;
  close(descriptor);
  errno = error;
  return synced;
}

// The replaced file keeps its permissions; a new one gets the usual ones.
mode_t TargetMode(const std::string& path) {
  struct stat existing {};
  if (stat(path.c_str(), &existing) == 0) return existing.st_mode & 07777U;
  const mode_t mask = umask(0);
  umask(mask);
  return 0666U & ~mask;
}

}  // namespace

LocalSource::LocalSource(std::string path) : path_(std::move(path)) {
  file_ = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (file_ < 0) throw FileFailure(FileStep::kOpen, path_, LastSystemErrorText());
  // A folder opens like a file here but cannot be read; refuse it before the
  // device file is emptied for it.
  struct stat status {};
  if (fstat(file_, &status) == 0 && S_ISDIR(status.st_mode)) {
    close(file_);
    errno = EISDIR;
    throw FileFailure(FileStep::kOpen, path_, LastSystemErrorText());
  }
}

LocalSource::~LocalSource() {
  if (open_) close(file_);
}

std::size_t LocalSource::Read(void* buffer, std::size_t size) {
  for (;;) {
    const ssize_t count = read(file_, buffer, size);
    if (count >= 0) return static_cast<std::size_t>(count);
    if (errno != EINTR) throw FileFailure(FileStep::kRead, path_, LastSystemErrorText());
  }
}

std::optional<std::uint64_t> LocalSource::Size() const {
  struct stat status {};
  if (fstat(file_, &status) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(status.st_size);
}

void LocalSource::Close() {
  open_ = false;
  close(file_);
}

LocalTarget::LocalTarget(std::string path) : path_(std::move(path)) {
  CheckReplaceable(path_);
  replaced_path_ = FileBehindLinks(path_);
  RemoveAbandonedCopies(replaced_path_);
  file_ = CreateLockedTemporary(replaced_path_, temporary_path_);
  if (file_ < 0) {
    open_ = pending_ = false;
    throw FileFailure(FileStep::kCreate, path_, LastSystemErrorText());
  }
  RemoveOnAbruptStop(temporary_path_);
  if (fchmod(file_, TargetMode(replaced_path_)) != 0) {
    const std::string reason = LastSystemErrorText();
    Discard();
    throw FileFailure(FileStep::kCreate, path_, reason);
  }
}

LocalTarget::~LocalTarget() { Discard(); }

void LocalTarget::Write(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t count = write(file_, bytes, size);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) throw FileFailure(FileStep::kWrite, path_, LastSystemErrorText());
    bytes += count;
    size -= static_cast<std::size_t>(count);
  }
}

// The data reaches the disk before the new name does, so a power cut leaves
// the old file or the whole new one. Renamed while still open, so still
// locked: another download's tidying cannot take it. Once renamed, the new
// content is in place, but while its folder has not reached the disk a power
// cut may still undo the rename, so that failure is reported all the same.
void LocalTarget::Commit() {
  if (!Synced(file_)) throw FileFailure(FileStep::kFlush, path_, LastSystemErrorText());
  ThrowIfStopRequested();
  if (rename(temporary_path_.c_str(), replaced_path_.c_str()) != 0) {
    throw FileFailure(FileStep::kReplace, path_, LastSystemErrorText());
  }
  pending_ = false;
  RemoveOnAbruptStop("");
  open_ = false;
  if (close(file_) != 0) throw FileFailure(FileStep::kWrite, path_, LastSystemErrorText());
  if (!FolderSynced(replaced_path_)) {
    throw FileFailure(FileStep::kFlush, path_, LastSystemErrorText());
  }
}

void LocalTarget::Discard() noexcept {
  if (pending_) {
    RemoveOnAbruptStop("");
    unlink(temporary_path_.c_str());
  }
  pending_ = false;
  if (open_) close(file_);
  open_ = false;
}

}  // namespace platform
