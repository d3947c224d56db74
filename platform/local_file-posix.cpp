#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/local_file.h"
#include "platform/stop.h"
#include "platform/system_error.h"

namespace platform {
namespace {

FileError Failure(FileProblem problem) { return {problem, LastSystemErrorText()}; }

// The error errno holds, as the policy tells them apart.
FileError LastFailure() {
  switch (errno) {
    case ENOENT: return Failure(FileProblem::kMissing);
    case EEXIST: return Failure(FileProblem::kExists);
    case EINTR: return Failure(FileProblem::kInterrupted);
    case EWOULDBLOCK: return Failure(FileProblem::kShared);
    default: return Failure(FileProblem::kOther);
  }
}

FileType TypeOf(mode_t mode) {
  if (S_ISREG(mode)) return FileType::kRegular;
  if (S_ISDIR(mode)) return FileType::kFolder;
  return FileType::kOther;
}

FileType TypeAt(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) == 0) return TypeOf(status.st_mode);
  return errno == ENOENT ? FileType::kMissing : FileType::kUnknown;
}

bool SameFile(int descriptor, const std::string& path) {
  struct stat held {};
  struct stat named {};
  return fstat(descriptor, &held) == 0 && lstat(path.c_str(), &named) == 0 &&
         held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Another program that locks the file to write it keeps it from being taken.
FileError Locked(int descriptor, int operation) {
  if (flock(descriptor, operation | LOCK_NB) == 0 || errno != EWOULDBLOCK) return {};
  return LastFailure();
}

}  // namespace

FileError CloseNative(NativeFile native) {
  return close(native) == 0 ? FileError{} : LastFailure();
}

PathFacts Examine(const std::string& path) {
  PathFacts facts;
  struct stat entry {};
  if (lstat(path.c_str(), &entry) != 0) {
    facts.type = errno == ENOENT ? FileType::kMissing : FileType::kUnknown;
    return facts;
  }
  facts.link = S_ISLNK(entry.st_mode);
  facts.type = facts.link ? TypeAt(path) : TypeOf(entry.st_mode);
  if (char* resolved = realpath(path.c_str(), nullptr)) {
    facts.target = resolved;
    std::free(resolved);
  }
  return facts;
}

// NAME_MAX, 255 on every file system Linux writes, where the system will not say.
std::size_t LongestFileName(const std::string& folder) {
  const long longest = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  return longest > 0 ? static_cast<std::size_t>(longest) : 255;
}

std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  DIR* listing = opendir(folder.empty() ? "." : folder.c_str());
  if (listing == nullptr) return names;
  // cppcheck-suppress readdirCalled ; one thread, and readdir_r is the deprecated one
  while (const dirent* entry = readdir(listing)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(listing);
  return names;
}

// Never blocks, even on a FIFO nobody has opened for writing: a stop that
// came just before a blocking open would interrupt nothing. WaitUntilReadable
// waits for the writer instead, and for the stop too.
FileError OpenForReading(const std::string& path, FileHandle& file) {
  const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0) return LastFailure();
  file.Adopt(descriptor);
  const int flags = fcntl(descriptor, F_GETFL);
  if (flags < 0 || fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) return LastFailure();
  return Locked(descriptor, LOCK_EX);
}

// The stop's self-pipe is written by its signal handler and stays readable,
// so a stop is seen whenever it came. A FIFO reports nothing until a writer
// has written or come and gone.
FileError WaitUntilReadable(const FileHandle& file) {
  const std::optional<NativeEvent> stop = StopEvent();
  pollfd waiting[2] = {{file.native(), POLLIN, 0}, {stop.value_or(-1), POLLIN, 0}};
  const int ready = poll(waiting, stop ? 2 : 1, -1);
  if ((ready < 0 && errno == EINTR) || (stop && waiting[1].revents != 0)) {
    errno = EINTR;
    return LastFailure();
  }
  return {};
}

FileError CheckReplaceable(const std::string& path) {
  FileHandle probe;
  const int descriptor = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0) return LastFailure();
  probe.Adopt(descriptor);
  return Locked(descriptor, LOCK_EX);
}

// Created and then locked: a removal that takes it in the moment between has
// made the name useless, and it counts as taken. The lock only tells the next
// run's tidying that the file is in use, so where the system has no locks
// (ENOLCK: NFS without its lock daemon) the file goes on without one.
FileError CreateHeld(const std::string& path, FileHandle& file) {
  const int descriptor =
      open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (descriptor < 0) return LastFailure();
  file.Adopt(descriptor);
  const bool taken = flock(descriptor, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  if (!taken && SameFile(descriptor, path)) return {};
  file.Close();
  errno = EEXIST;
  return LastFailure();
}

// Opened for writing, as NFS's emulation of flock with byte-range locks needs
// for an exclusive one. No lock, for whatever reason, proves nothing.
FileError TakeHeld(const std::string& path, FileHandle& file) {
  const int descriptor =
      open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0) return LastFailure();
  file.Adopt(descriptor);
  struct stat status {};
  if (fstat(descriptor, &status) != 0) return LastFailure();
  if (!S_ISREG(status.st_mode)) {
    errno = EINVAL;
    return LastFailure();
  }
  if (flock(descriptor, LOCK_EX | LOCK_NB) != 0) return LastFailure();
  // Its holder may have renamed it between the open and the lock.
  if (!SameFile(descriptor, path)) {
    errno = ENOENT;
    return LastFailure();
  }
  return {};
}

FileError Read(FileHandle& file, void* buffer, std::size_t size, std::size_t& count) {
  const ssize_t got = read(file.native(), buffer, size);
  if (got < 0) return LastFailure();
  count = static_cast<std::size_t>(got);
  return {};
}

FileError Write(FileHandle& file, const void* data, std::size_t size, std::size_t& count) {
  const ssize_t written = write(file.native(), data, size);
  if (written < 0) return LastFailure();
  count = static_cast<std::size_t>(written);
  return {};
}

std::optional<std::uint64_t> SizeOf(const FileHandle& file) {
  struct stat status {};
  if (fstat(file.native(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(status.st_size);
}

// The owner and group as cp -p keeps them: both where the system allows
// (root, or a file system that lets anyone give files away), otherwise the
// group alone (its members may give a file their group), otherwise neither;
// a set-user or set-group bit only with the owner or group it was set for.
// Before the mode, as a change of owner clears those bits.
// cppcheck-suppress constParameter ; it changes the file, through the handle
FileError TakePermissions(FileHandle& file, const std::string& replaced) {
  struct stat existing {};
  mode_t mode = 0;
  if (stat(replaced.c_str(), &existing) == 0) {
    mode = existing.st_mode & 07777U;
    if (fchown(file.native(), existing.st_uid, existing.st_gid) != 0) {
      mode &= ~static_cast<mode_t>(S_ISUID);
      if (fchown(file.native(), static_cast<uid_t>(-1), existing.st_gid) != 0) {
        mode &= ~static_cast<mode_t>(S_ISGID);
      }
    }
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666U & ~mask;
  }
  return fchmod(file.native(), mode) == 0 ? FileError{} : LastFailure();
}

// cppcheck-suppress constParameter ; it changes the file, through the handle
FileError FlushData(FileHandle& file) {
  return fsync(file.native()) == 0 ? FileError{} : LastFailure();
}

FileError ReplaceWith(FileHandle& /*held*/, const std::string& held_path,
                      const std::string& target) {
  return rename(held_path.c_str(), target.c_str()) == 0 ? FileError{} : LastFailure();
}

// The folder's entry for a renamed file reaches the disk only with the folder.
// Some systems cannot sync a folder at all (EINVAL): there is nothing to flush.
FileError FlushReplacement(FileHandle& /*held*/, const std::string& target) {
  FileHandle folder;
  const int descriptor = open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return LastFailure();
  folder.Adopt(descriptor);
  if (fsync(descriptor) == 0 || errno == EINVAL) return {};
  return LastFailure();
}

FileError RemoveHeld(FileHandle& /*held*/, const std::string& held_path) {
  return unlink(held_path.c_str()) == 0 ? FileError{} : LastFailure();
}

}  // namespace platform
