#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/native_file.h"

// The PC's own files, one system call's worth at a time. What to do with a
// file, and what to tell the person, is decided above this layer (local/).
// Paths are UTF-8, as the person typed them; nothing here follows a path's
// links unless it says so.

namespace platform {

#ifdef _WIN32
// "C:stock.txt" names a file in drive C's current folder.
inline constexpr const char* kPathSeparators = "\\/:";
// NUL, CON, COM1... name devices in every folder.
inline constexpr bool kDeviceNamesReserved = true;
// A name's length is counted in UTF-16 units.
inline constexpr bool kNameLengthInUtf16Units = true;
#else
inline constexpr const char* kPathSeparators = "/";
inline constexpr bool kDeviceNamesReserved = false;
inline constexpr bool kNameLengthInUtf16Units = false;
#endif

// What kind of failure a call met, as far as the policy above must tell them
// apart; the system's own text says the rest.
enum class FileProblem {
  kNone,
  kMissing,      // there is no such file
  kExists,       // a new file's name is taken
  kShared,       // another program holds it in a way that excludes this use
  kDenied,       // access denied to a file that is neither read-only nor a
                 // folder: what a program that holds it may also cause
  kInterrupted,  // a signal came first
  kOther,
};

struct FileError {
  FileProblem problem = FileProblem::kNone;
  std::string reason;  // the system's text, when it failed

  bool failed() const { return problem != FileProblem::kNone; }
};

// An open file, closed with the object unless Close took it first.
class FileHandle {
 public:
  FileHandle() = default;
  ~FileHandle();
  FileHandle(FileHandle&& other) noexcept;
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  bool is_open() const { return open_; }
  NativeFile native() const { return native_; }
  void Adopt(NativeFile native);
  // For the close's own result, which on some file systems is the write's.
  FileError Close();

 private:
  NativeFile native_{};
  bool open_ = false;
};

// Closes what the system opened; FileHandle does it for every file here.
FileError CloseNative(NativeFile native);

enum class FileType { kMissing, kRegular, kFolder, kOther, kUnknown };

// What a path names: the entry itself, and where it is a symbolic link, what
// the link leads to. kUnknown: the system would not say (no permission to
// look); the call that uses the path will say why.
struct PathFacts {
  bool link = false;
  FileType type = FileType::kUnknown;  // of the file the path leads to
  // The full path of that file, where the system gives one: for a link to a
  // file wherever the system can say where it leads; on POSIX for any file.
  std::string target;
};
PathFacts Examine(const std::string& path);

// The longest file name the folder ("" is the current one) takes, counted as
// kNameLengthInUtf16Units says.
std::size_t LongestFileName(const std::string& folder);

// The names in a folder ("" is the current one), nothing for one that cannot be read.
std::vector<std::string> FolderNames(const std::string& folder);

// An existing file for reading, held so no other program can open it
// meanwhile (on POSIX a lock, which only programs that lock respect).
FileError OpenForReading(const std::string& path, FileHandle& file);
// Whether an existing file could be written and replaced now.
FileError CheckReplaceable(const std::string& path);
// A new file by that name, held so no other program can open, lock or take it;
// on a system without locks, not held, and no other program can take it.
FileError CreateHeld(const std::string& path, FileHandle& file);
// An existing regular file (not a link) held as CreateHeld holds one, if no
// other program holds it; kShared when one does.
FileError TakeHeld(const std::string& path, FileHandle& file);

// Until a read would not block (a FIFO's writer has written, or come and
// gone), or a stop is requested: kInterrupted then, whenever it came. At once
// on Windows, whose stop does not end a local call.
FileError WaitUntilReadable(const FileHandle& file);
FileError Read(FileHandle& file, void* buffer, std::size_t size, std::size_t& count);
FileError Write(FileHandle& file, const void* data, std::size_t size, std::size_t& count);
// Nothing for what is not a regular file (a FIFO, a device).
std::optional<std::uint64_t> SizeOf(const FileHandle& file);
// POSIX: gives a new file the owner, group and permission bits of the file it
// is to replace, as far as the system lets this user give them, or where
// there is none, the permission bits the umask leaves. Windows: the security
// descriptor and attributes of the file it is to replace, where there is one;
// where there is none, the new file keeps its folder's permissions.
FileError TakePermissions(FileHandle& file, const std::string& replaced);
// The file's data on the disk.
FileError FlushData(FileHandle& file);
// Puts a held file in place of target, in the same folder, still held.
FileError ReplaceWith(FileHandle& held, const std::string& held_path, const std::string& target);
// The replacement on the disk, so a power cut no longer undoes it.
FileError FlushReplacement(FileHandle& held, const std::string& target);
// Removes a held file while it is still held, so nobody else can take it:
// its name is gone at once on POSIX, as the handle closes on Windows.
FileError RemoveHeld(FileHandle& held, const std::string& held_path);

}  // namespace platform
