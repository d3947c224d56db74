#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/file_failure.h"
#include "platform/local_file.h"
#include "platform/system_error.h"

namespace platform {
namespace {

// Whether an existing target could be written in place, so a copy that could
// never be stored fails before the device is contacted.
void CheckReplaceable(const std::string& path) {
  if (path.empty()) {
    errno = ENOENT;
    throw FileFailure("create", path, LastSystemErrorText());
  }
  const int probe = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (probe >= 0) {
    close(probe);
  } else if (errno != ENOENT) {
    throw FileFailure("create", path, LastSystemErrorText());
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
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : path.substr(0, slash);
  const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
  if (file_ < 0) throw FileFailure("open", path_, LastSystemErrorText());
  // A folder opens like a file here but cannot be read; refuse it before the
  // device file is emptied for it.
  struct stat status {};
  if (fstat(file_, &status) == 0 && S_ISDIR(status.st_mode)) {
    close(file_);
    errno = EISDIR;
    throw FileFailure("open", path_, LastSystemErrorText());
  }
}

LocalSource::~LocalSource() {
  if (open_) close(file_);
}

std::size_t LocalSource::Read(void* buffer, std::size_t size) {
  for (;;) {
    const ssize_t count = read(file_, buffer, size);
    if (count >= 0) return static_cast<std::size_t>(count);
    if (errno != EINTR) throw FileFailure("read", path_, LastSystemErrorText());
  }
}

void LocalSource::Close() {
  open_ = false;
  close(file_);
}

LocalTarget::LocalTarget(std::string path) : path_(std::move(path)) {
  CheckReplaceable(path_);
  replaced_path_ = FileBehindLinks(path_);
  const std::string pattern = replaced_path_ + ".filecopy-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  file_ = mkstemp(name.data());
  if (file_ < 0) throw FileFailure("create", path_, LastSystemErrorText());
  temporary_path_ = name.data();
  if (fchmod(file_, TargetMode(replaced_path_)) != 0) {
    const std::string reason = LastSystemErrorText();
    Discard();
    throw FileFailure("create", path_, reason);
  }
}

LocalTarget::~LocalTarget() { Discard(); }

void LocalTarget::Write(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t count = write(file_, bytes, size);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) throw FileFailure("write", path_, LastSystemErrorText());
    bytes += count;
    size -= static_cast<std::size_t>(count);
  }
}

// The data reaches the disk before the new name does, so a power cut leaves
// the old file or the whole new one. Once renamed, the new content is in
// place, but while its folder has not reached the disk a power cut may still
// undo the rename, so that failure is reported all the same.
void LocalTarget::Commit() {
  if (!Synced(file_)) throw FileFailure("flush", path_, LastSystemErrorText());
  open_ = false;
  if (close(file_) != 0) throw FileFailure("write", path_, LastSystemErrorText());
  if (rename(temporary_path_.c_str(), replaced_path_.c_str()) != 0) {
    throw FileFailure("replace", path_, LastSystemErrorText());
  }
  pending_ = false;
  if (!FolderSynced(replaced_path_)) throw FileFailure("flush", path_, LastSystemErrorText());
}

void LocalTarget::Discard() noexcept {
  if (open_) close(file_);
  open_ = false;
  if (pending_) unlink(temporary_path_.c_str());
  pending_ = false;
}

}  // namespace platform
