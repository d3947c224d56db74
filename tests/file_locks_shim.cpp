// Preloaded into the program (LD_PRELOAD) to stand for file systems whose
// locks are not the local disk's: FILECOPY_TEST_LOCKS=none fails every flock
// with ENOLCK, as an NFS mount without its lock daemon does; =nfs refuses an
// exclusive lock on a descriptor not open for writing (EBADF), as NFS's
// emulation of flock with byte-range locks does.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <cstdlib>
#include <string>

// glibc names the parameters with reserved names.
// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name)
extern "C" __attribute__((visibility("default"))) int flock(int descriptor, int operation) {
  // NOLINTNEXTLINE(concurrency-mt-unsafe): nothing sets the environment meanwhile
  const char* mode = std::getenv("FILECOPY_TEST_LOCKS");
  const std::string locks = mode != nullptr ? mode : "";
  if (locks == "none") {
    errno = ENOLCK;
    return -1;
  }
  if (locks == "nfs" && (operation & LOCK_EX) != 0 &&
      (fcntl(descriptor, F_GETFL) & O_ACCMODE) == O_RDONLY) {
    errno = EBADF;
    return -1;
  }
  using Flock = int (*)(int, int);
  static const auto real = reinterpret_cast<Flock>(dlsym(RTLD_NEXT, "flock"));
  return real(descriptor, operation);
}
