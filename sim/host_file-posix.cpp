#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

#include "platform/unicode.h"
#include "sim/host_file.h"

namespace sim {
namespace {

int CreationFlags(HostCreation creation) {
  switch (creation) {
    case HostCreation::kCreateNew: return O_CREAT | O_EXCL;
    case HostCreation::kCreateAlways: return O_CREAT | O_TRUNC;
    case HostCreation::kOpenExisting: return 0;
    case HostCreation::kOpenAlways: return O_CREAT;
    case HostCreation::kTruncateExisting: return O_TRUNC;
  }
  return 0;
}

int AccessFlags(bool read, bool write) {
  if (write) return read ? O_RDWR : O_WRONLY;
  return O_RDONLY;
}

HostIdentity IdentityOf(const struct stat& status) {
  return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

int OpenRetrying(const char* path, int flags) {
  int descriptor;
  do {
    descriptor = ::open(path, flags | O_CLOEXEC, 0666);
  } while (descriptor < 0 && errno == EINTR);
  return descriptor;
}

}  // namespace

HostFile HostFile::Open(const HostPath& path, bool read, bool write, HostCreation creation) {
  return HostFile(OpenRetrying(path.c_str(), AccessFlags(read, write) | CreationFlags(creation)));
}

HostFile HostFile::OpenLog(const HostPath& path) {
  return HostFile(OpenRetrying(path.c_str(), O_WRONLY | O_CREAT | O_APPEND));
}

bool HostFile::IsOpen() const { return descriptor_ >= 0; }

std::optional<std::size_t> HostFile::Read(void* buffer, std::size_t count) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got = ::read(descriptor_, bytes + done, count - done);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    done += static_cast<std::size_t>(got);
  }
  return done;
}

bool HostFile::Write(const void* buffer, std::size_t count) {
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t put = ::write(descriptor_, bytes + done, count - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(put);
  }
  return true;
}

std::optional<std::uint64_t> HostFile::Size() const {
  struct stat status {};
  if (::fstat(descriptor_, &status) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(status.st_size);
}

std::optional<HostIdentity> HostFile::Identity() const {
  struct stat status {};
  if (::fstat(descriptor_, &status) != 0) return std::nullopt;
  return IdentityOf(status);
}

void HostFile::Close() {
  if (IsOpen()) ::close(std::exchange(descriptor_, kClosed));
}

std::optional<HostEntry> LookUpHostEntry(const HostPath& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return HostEntry{IdentityOf(status), S_ISDIR(status.st_mode)};
}

bool MakeHostDirectory(const HostPath& path) { return ::mkdir(path.c_str(), 0777) == 0; }

bool RemoveHostFile(const HostPath& path) { return ::unlink(path.c_str()) == 0; }

// rename would replace an existing target; the simulator has checked there is none.
bool RenameHostEntry(const HostPath& from, const HostPath& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

std::optional<HostPath> HostEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return HostPath(value);
}

void AppendHostComponent(HostPath& path, std::u16string_view component) {
  path += '/';
  path += platform::Utf16ToUtf8(component);
}

}  // namespace sim
