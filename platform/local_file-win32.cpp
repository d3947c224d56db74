#include "platform/local_file-win32.h"

#include <windows.h>
#include <winternl.h>

#include <cstring>
#include <initializer_list>
#include <vector>

#include "platform/dynamic_library.h"
#include "platform/full_path-win32.h"
#include "platform/local_file.h"
#include "platform/system_error.h"
#include "platform/system_library-win32.h"
#include "platform/wide_string-win32.h"

namespace platform {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The error the last call left, as the policy tells them apart. Access is
// denied to a read-only file or a folder for good; to any other file also
// while a program holds it.
FileError LastFailure(const std::wstring& path) {
  const DWORD code = GetLastError();
  FileError error{FileProblem::kOther, LastSystemErrorText()};
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: error.problem = FileProblem::kMissing; break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: error.problem = FileProblem::kExists; break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: error.problem = FileProblem::kShared; break;
    case ERROR_ACCESS_DENIED: {
      const DWORD attributes = GetFileAttributesW(path.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES &&
          (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == 0) {
        error.problem = FileProblem::kDenied;
      }
      break;
    }
    default: break;
  }
  return error;
}

FileError Opened(HANDLE handle, const std::wstring& path, FileHandle& file) {
  if (handle == INVALID_HANDLE_VALUE) return LastFailure(path);
  file.Adopt(handle);
  return {};
}

template <typename Entry>
Entry SystemEntry(const wchar_t* library, const char* name) {
  return reinterpret_cast<Entry>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(library), name)));
}

// Symbolic links and junctions, told from the entry itself, whatever a listing
// of its folder would say; other reparse points (a cloud file, a deduplicated
// one) are the files themselves. Where their kind cannot be read, any reparse
// point is followed as a link is.
bool IsLink(HANDLE entry, const LinkEntries& entries) {
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (entries.information != nullptr &&
      entries.information(entry, FileAttributeTagInfo, &tag, sizeof tag)) {
    return (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           (tag.ReparseTag == IO_REPARSE_TAG_SYMLINK ||
            tag.ReparseTag == IO_REPARSE_TAG_MOUNT_POINT);
  }
  BY_HANDLE_FILE_INFORMATION information{};
  return GetFileInformationByHandle(entry, &information) &&
         (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

std::wstring FinalPathOn(HANDLE file, const LinkEntries& entries, DWORD volume) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        entries.final_path(file, path.data(), static_cast<DWORD>(path.size()), volume);
    if (length == 0) return L"";
    if (length < path.size()) return path.substr(0, length);
    path.resize(length);
  }
}

// Where a link leads: on a drive, or where the volume has no letter, through
// the volume's own name (\\?\Volume{...}\), which the \\?\ calls take.
std::string FinalPath(HANDLE file, const LinkEntries& entries) {
  if (entries.final_path == nullptr) return "";
  for (const DWORD volume : {DWORD{VOLUME_NAME_DOS}, DWORD{VOLUME_NAME_GUID}}) {
    const std::wstring path = FinalPathOn(file, entries, volume);
    if (!path.empty()) return Utf8String(path.c_str());
  }
  return "";
}

FileType MissingOrUnknown(DWORD code) {
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? FileType::kMissing
                                                                      : FileType::kUnknown;
}

FileType TypeOf(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(file, &information)) return FileType::kUnknown;
  if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileType::kFolder;
  return GetFileType(file) == FILE_TYPE_DISK ? FileType::kRegular : FileType::kOther;
}

// A held file's name is changed and removed through its handle, which holds
// it without sharing: by name, even this process could not open it for that.
// Every Windows NT has the call, though only Vista's kernel32 wraps it.
FileError SetHeldInformation(FileHandle& held, const void* information, std::size_t size,
                             FILE_INFORMATION_CLASS kind, const std::wstring& path) {
  using SetInformationEntry =
      NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS);
  using ErrorEntry = ULONG(NTAPI*)(NTSTATUS);
  const auto set_information =
      SystemEntry<SetInformationEntry>(L"ntdll.dll", "NtSetInformationFile");
  const auto error_of = SystemEntry<ErrorEntry>(L"ntdll.dll", "RtlNtStatusToDosError");
  if (set_information == nullptr || error_of == nullptr) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return LastFailure(path);
  }
  IO_STATUS_BLOCK status_block{};
  const NTSTATUS status = set_information(
      held.native(), &status_block, const_cast<void*>(information), static_cast<ULONG>(size), kind);
  if (status >= 0) return {};
  SetLastError(error_of(status));
  return LastFailure(path);
}

}  // namespace

FileError CloseNative(NativeFile native) {
  return CloseHandle(native) ? FileError{} : LastFailure(L"");
}

LinkEntries SystemLinkEntries() {
  LinkEntries entries;
  entries.information =
      SystemEntry<decltype(entries.information)>(L"kernel32.dll", "GetFileInformationByHandleEx");
  entries.final_path =
      SystemEntry<decltype(entries.final_path)>(L"kernel32.dll", "GetFinalPathNameByHandleW");
  return entries;
}

PathFacts Examine(const std::string& path) { return ExamineWith(path, SystemLinkEntries()); }

// Only the attributes are asked for, which no program's sharing refuses.
PathFacts ExamineWith(const std::string& path, const LinkEntries& entries) {
  PathFacts facts;
  const std::wstring name = ExtendedPath(path);
  HANDLE entry = CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (entry == INVALID_HANDLE_VALUE) {
    facts.type = MissingOrUnknown(GetLastError());
    return facts;
  }
  FileHandle entry_file;
  entry_file.Adopt(entry);
  facts.link = IsLink(entry, entries);
  HANDLE opened = CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (opened == INVALID_HANDLE_VALUE) {
    facts.type = MissingOrUnknown(GetLastError());
    return facts;
  }
  FileHandle file;
  file.Adopt(opened);
  facts.type = TypeOf(file.native());
  if (facts.link) facts.target = FinalPath(file.native(), entries);
  return facts;
}

// NTFS, FAT32 and exFAT all take 255 UTF-16 units, as Windows' own MAX_PATH
// parts do; long paths lift the limit on the whole path, not on a name.
std::size_t LongestFileName(const std::string& /*folder*/) { return 255; }

std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(ExtendedPath(folder + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = Utf8String(found.cFileName);
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

FileError OpenForReading(const std::string& path, FileHandle& file) {
  const std::wstring name = ExtendedPath(path);
  return Opened(CreateFileW(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr),
                name, file);
}

// Replacing it needs the right to delete it, which a program that holds it
// without sharing that denies as well.
FileError CheckReplaceable(const std::string& path) {
  const std::wstring name = ExtendedPath(path);
  FileHandle probe;
  return Opened(CreateFileW(name.c_str(), GENERIC_WRITE | DELETE, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr),
                name, probe);
}

// With the rights to give it the security descriptor of the file it is to
// replace, where the file system grants them: a share that lets its users
// change files but not their permissions refuses such a file, which is then
// made without them, and gets its folder's permissions.
FileError CreateHeld(const std::string& path, FileHandle& file) {
  const std::wstring name = ExtendedPath(path);
  constexpr DWORD kAccess = GENERIC_READ | GENERIC_WRITE | DELETE;
  HANDLE created = CreateFileW(name.c_str(), kAccess | WRITE_DAC | WRITE_OWNER, 0, nullptr,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (created == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
    created =
        CreateFileW(name.c_str(), kAccess, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  return Opened(created, name, file);
}

FileError TakeHeld(const std::string& path, FileHandle& file) {
  const std::wstring name = ExtendedPath(path);
  const FileError opened =
      Opened(CreateFileW(name.c_str(), DELETE | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OPEN_REPARSE_POINT, nullptr),
             name, file);
  if (opened.failed()) return opened;
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(file.native(), &information)) return LastFailure(name);
  if ((information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) !=
      0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return LastFailure(name);
  }
  return {};
}

FileError WaitUntilReadable(const FileHandle& /*file*/) { return {}; }

// A pipe's writer closing is its end of file.
FileError Read(FileHandle& file, void* buffer, std::size_t size, std::size_t& count) {
  DWORD got = 0;
  count = 0;
  if (ReadFile(file.native(), buffer, static_cast<DWORD>(size), &got, nullptr)) {
    count = got;
    return {};
  }
  return GetLastError() == ERROR_BROKEN_PIPE ? FileError{} : LastFailure(L"");
}

FileError Write(FileHandle& file, const void* data, std::size_t size, std::size_t& count) {
  DWORD written = 0;
  if (!WriteFile(file.native(), data, static_cast<DWORD>(size), &written, nullptr)) {
    return LastFailure(L"");
  }
  count = written;
  if (written == 0 && size > 0) {
    SetLastError(ERROR_DISK_FULL);
    return LastFailure(L"");
  }
  return {};
}

std::optional<std::uint64_t> SizeOf(const FileHandle& file) {
  LARGE_INTEGER size{};
  if (GetFileType(file.native()) != FILE_TYPE_DISK || !GetFileSizeEx(file.native(), &size)) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(size.QuadPart);
}

// The replaced file's security descriptor and the attributes a person set on
// it carry over, as ReplaceFileW's do: the descriptor where the system lets
// this process set it (owner and group need the same owner or a privilege);
// never read-only, which would keep the download from being written, and
// always archive, as the content is new and a backup must take it. A file
// that is not there, or whose descriptor may not be read, leaves the new one
// with its folder's permissions, as any new file.
FileError TakePermissions(FileHandle& file, const std::string& replaced) {
  const std::wstring name = ExtendedPath(replaced);
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return {};
  constexpr DWORD kCarried =
      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  if ((attributes & kCarried) != 0) {
    FILE_BASIC_INFORMATION basic{};
    basic.FileAttributes = (attributes & kCarried) | FILE_ATTRIBUTE_ARCHIVE;
    const FileError set = SetHeldInformation(file, &basic, sizeof basic, FileBasicInformation, L"");
    if (set.failed()) return set;
  }
  // Loaded only where a file is replaced, as for the services' look.
  const DynamicLibrary advapi = SystemLibrary("advapi32.dll");
  const auto get_security = advapi.Find<decltype(&GetFileSecurityW)>("GetFileSecurityW");
  const auto set_security =
      advapi.Find<decltype(&SetKernelObjectSecurity)>("SetKernelObjectSecurity");
  if (get_security == nullptr || set_security == nullptr) return {};
  constexpr SECURITY_INFORMATION kParts =
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  DWORD size = 0;
  get_security(name.c_str(), kParts, nullptr, 0, &size);
  std::vector<unsigned char> descriptor(size);
  if (size == 0 || !get_security(name.c_str(), kParts, descriptor.data(), size, &size)) return {};
  for (const auto part :
       {DACL_SECURITY_INFORMATION, OWNER_SECURITY_INFORMATION, GROUP_SECURITY_INFORMATION}) {
    set_security(file.native(), static_cast<SECURITY_INFORMATION>(part), descriptor.data());
  }
  return {};
}

// cppcheck-suppress constParameter ; it changes the file, through the handle
FileError FlushData(FileHandle& file) {
  return FlushFileBuffers(file.native()) ? FileError{} : LastFailure(L"");
}

// The new name in the system's own form (\??\C:\...), which the call takes.
FileError ReplaceWith(FileHandle& held, const std::string& /*held_path*/,
                      const std::string& target) {
  const std::wstring name = ExtendedPath(target);
  std::wstring system_name = name;
  if (system_name.rfind(L"\\\\?\\", 0) == 0 || system_name.rfind(L"\\\\.\\", 0) == 0) {
    system_name.replace(0, 4, L"\\??\\");
  }
  const std::size_t name_bytes = system_name.size() * sizeof(wchar_t);
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFORMATION) + name_bytes);
  auto* rename = reinterpret_cast<FILE_RENAME_INFORMATION*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<ULONG>(name_bytes);
  std::memcpy(rename->FileName, system_name.data(), name_bytes);
  return SetHeldInformation(held, buffer.data(), buffer.size(), FileRenameInformation, name);
}

// Flushing the renamed file writes its new name through, as MoveFileEx's
// MOVEFILE_WRITE_THROUGH does.
FileError FlushReplacement(FileHandle& held, const std::string& /*target*/) {
  return FlushData(held);
}

// Gone as the handle closes, which follows at once.
FileError RemoveHeld(FileHandle& held, const std::string& held_path) {
  FILE_DISPOSITION_INFORMATION disposition{};
  disposition.DoDeleteFile = TRUE;
  return SetHeldInformation(held, &disposition, sizeof disposition, FileDispositionInformation,
                            ExtendedPath(held_path));
}

}  // namespace platform
