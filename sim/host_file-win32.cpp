#include <windows.h>

#include <algorithm>
#include <utility>

#include "sim/host_file.h"

namespace sim {
namespace {

DWORD CreationOf(HostCreation creation) {
  switch (creation) {
    case HostCreation::kCreateNew: return CREATE_NEW;
    case HostCreation::kCreateAlways: return CREATE_ALWAYS;
    case HostCreation::kOpenExisting: return OPEN_EXISTING;
    case HostCreation::kOpenAlways: return OPEN_ALWAYS;
    case HostCreation::kTruncateExisting: return TRUNCATE_EXISTING;
  }
  return OPEN_EXISTING;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Large transfers go through in pieces ReadFile and WriteFile can count.
constexpr std::size_t kMaxPiece = 1U << 30;

HANDLE OpenWide(const HostPath& path, DWORD access, DWORD creation, DWORD flags) {
  return CreateFileW(path.c_str(), access, kShareAll, nullptr, creation, flags, nullptr);
}

std::optional<BY_HANDLE_FILE_INFORMATION> InformationOf(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(handle, &information)) return std::nullopt;
  return information;
}

HostIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& information) {
  return {information.dwVolumeSerialNumber,
          (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow};
}

}  // namespace

HostFile HostFile::Open(const HostPath& path, bool read, bool write, HostCreation creation) {
  const DWORD access = (read ? GENERIC_READ : 0U) | (write ? GENERIC_WRITE : 0U);
  return HostFile(OpenWide(path, access, CreationOf(creation), FILE_ATTRIBUTE_NORMAL));
}

HostFile HostFile::OpenLog(const HostPath& path) {
  return HostFile(OpenWide(path, FILE_APPEND_DATA, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL));
}

bool HostFile::IsOpen() const { return descriptor_ != kClosed; }

std::optional<std::size_t> HostFile::Read(void* buffer, std::size_t count) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    DWORD got = 0;
    const auto piece = static_cast<DWORD>(std::min(count - done, kMaxPiece));
    if (!ReadFile(descriptor_, bytes + done, piece, &got, nullptr)) return std::nullopt;
    if (got == 0) break;
    done += got;
  }
  return done;
}

bool HostFile::Write(const void* buffer, std::size_t count) {
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    DWORD put = 0;
    const auto piece = static_cast<DWORD>(std::min(count - done, kMaxPiece));
    if (!WriteFile(descriptor_, bytes + done, piece, &put, nullptr)) return false;
    done += put;
  }
  return true;
}

std::optional<std::uint64_t> HostFile::Size() const {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(descriptor_, &size)) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

std::optional<HostIdentity> HostFile::Identity() const {
  const std::optional<BY_HANDLE_FILE_INFORMATION> information = InformationOf(descriptor_);
  if (!information) return std::nullopt;
  return IdentityOf(*information);
}

void HostFile::Close() {
  if (IsOpen()) CloseHandle(std::exchange(descriptor_, kClosed));
}

std::optional<HostEntry> LookUpHostEntry(const HostPath& path) {
  // Backup semantics let the same call open a folder.
  const HANDLE handle = OpenWide(path, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  const std::optional<BY_HANDLE_FILE_INFORMATION> information = InformationOf(handle);
  CloseHandle(handle);
  if (!information) return std::nullopt;
  return HostEntry{IdentityOf(*information),
                   (information->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0};
}

bool MakeHostDirectory(const HostPath& path) {
  return CreateDirectoryW(path.c_str(), nullptr) != 0;
}

bool RemoveHostFile(const HostPath& path) { return DeleteFileW(path.c_str()) != 0; }

// Without MOVEFILE_REPLACE_EXISTING, an existing target makes it fail.
bool RenameHostEntry(const HostPath& from, const HostPath& to) {
  return MoveFileW(from.c_str(), to.c_str()) != 0;
}

// Read wide so a root outside the ANSI code page still works.
std::optional<HostPath> HostEnvironment(const char* name) {
  const HostPath wide_name(name, name + std::char_traits<char>::length(name));
  HostPath value(64, L'\0');
  while (true) {
    const DWORD length =
        GetEnvironmentVariableW(wide_name.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) return std::nullopt;
    if (length < value.size()) {
      value.resize(length);
      return value;
    }
    // Too small: length is the size needed, terminator included.
    value.resize(length);
  }
}

void AppendHostComponent(HostPath& path, std::u16string_view component) {
  path += L'\\';
  for (const char16_t unit : component) path += static_cast<wchar_t>(unit);
}

}  // namespace sim
