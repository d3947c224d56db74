#include <windows.h>

#include <cwchar>
#include <optional>
#include <utility>

#include "platform/file_failure.h"
#include "platform/local_file.h"
#include "platform/stop.h"
#include "platform/system_error.h"
#include "platform/wide_string-win32.h"

namespace platform {
namespace {

// Whether an existing target could be written in place, so a copy that could
// never be stored fails before the device is contacted.
void CheckReplaceable(const std::string& path) {
  HANDLE probe = CreateFileW(WideString(path).c_str(), GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe != INVALID_HANDLE_VALUE) {
    CloseHandle(probe);
  } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
    throw FileFailure(FileStep::kCreate, path, LastSystemErrorText());
  }
}

constexpr int kTemporaryNameAttempts = 100;
constexpr const wchar_t* kTemporaryInfix = L".filecopy-";
constexpr const wchar_t* kTemporarySuffix = L".tmp";

std::wstring FolderPrefixOf(const std::wstring& path) {
  const std::size_t separator = path.find_last_of(L"\\/:");
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

bool IsDigits(const std::wstring& text) {
  if (text.empty()) return false;
  for (const wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
  }
  return true;
}

// The process that named a temporary file "<target>.filecopy-<pid>-<n>.tmp",
// if the name is one of ours for that target.
std::optional<DWORD> WriterOf(const std::wstring& name, const std::wstring& target_name) {
  const std::wstring stem = target_name + kTemporaryInfix;
  const std::size_t suffix = std::char_traits<wchar_t>::length(kTemporarySuffix);
  if (name.size() <= stem.size() + suffix || name.compare(0, stem.size(), stem) != 0 ||
      name.compare(name.size() - suffix, suffix, kTemporarySuffix) != 0) {
    return std::nullopt;
  }
  const std::wstring numbers = name.substr(stem.size(), name.size() - suffix - stem.size());
  const std::size_t dash = numbers.find(L'-');
  if (dash == std::wstring::npos || !IsDigits(numbers.substr(0, dash)) ||
      !IsDigits(numbers.substr(dash + 1)) || dash > 10) {
    return std::nullopt;
  }
  return static_cast<DWORD>(std::wcstoul(numbers.substr(0, dash).c_str(), nullptr, 10));
}

// Whether a process may still be running; one that cannot be looked at may.
bool MayBeRunning(DWORD process_id) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, process_id);
  if (process == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;
  const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
}

// A running copy holds its temporary file without sharing, so the delete of
// one it still writes fails; its process is checked too, for the moment
// between its close and its move. Anything else that cannot be deleted is
// left alone.
void RemoveAbandonedCopies(const std::string& target) {
  const std::wstring wide = WideString(target);
  const std::wstring folder = FolderPrefixOf(wide);
  const std::wstring target_name = wide.substr(folder.size());
  WIN32_FIND_DATAW found{};
  HANDLE search =
      FindFirstFileW((wide + kTemporaryInfix + L"*" + kTemporarySuffix).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    // The pattern also matches short 8.3 names; only the long one counts.
    const std::optional<DWORD> writer = WriterOf(found.cFileName, target_name);
    if (writer && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        !MayBeRunning(*writer)) {
      DeleteFileW((folder + found.cFileName).c_str());
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

}  // namespace

LocalSource::LocalSource(std::string path) : path_(std::move(path)) {
  file_ = CreateFileW(WideString(path_).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file_ == INVALID_HANDLE_VALUE) {
    throw FileFailure(FileStep::kOpen, path_, LastSystemErrorText());
  }
}

LocalSource::~LocalSource() {
  if (open_) CloseHandle(file_);
}

std::size_t LocalSource::Read(void* buffer, std::size_t size) {
  DWORD count = 0;
  if (!ReadFile(file_, buffer, static_cast<DWORD>(size), &count, nullptr)) {
    throw FileFailure(FileStep::kRead, path_, LastSystemErrorText());
  }
  return count;
}

std::optional<std::uint64_t> LocalSource::Size() const {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file_, &size)) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

void LocalSource::Close() {
  open_ = false;
  CloseHandle(file_);
}

LocalTarget::LocalTarget(std::string path) : path_(std::move(path)) {
  CheckReplaceable(path_);
  replaced_path_ = path_;
  RemoveAbandonedCopies(replaced_path_);
  const std::string stem =
      replaced_path_ + ".filecopy-" + std::to_string(GetCurrentProcessId()) + "-";
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    temporary_path_ = stem + std::to_string(attempt) + ".tmp";
    file_ = CreateFileW(WideString(temporary_path_).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (file_ == INVALID_HANDLE_VALUE) {
    open_ = pending_ = false;
    throw FileFailure(FileStep::kCreate, path_, LastSystemErrorText());
  }
  RemoveOnAbruptStop(temporary_path_, file_);
}

LocalTarget::~LocalTarget() { Discard(); }

void LocalTarget::Write(const void* data, std::size_t size) {
  DWORD count = 0;
  if (!WriteFile(file_, data, static_cast<DWORD>(size), &count, nullptr)) {
    throw FileFailure(FileStep::kWrite, path_, LastSystemErrorText());
  }
  if (count != size) {
    SetLastError(ERROR_DISK_FULL);
    throw FileFailure(FileStep::kWrite, path_, LastSystemErrorText());
  }
}

// The data reaches the disk before the new name does, so a power cut leaves
// the old file or the whole new one; the move itself writes through.
void LocalTarget::Commit() {
  if (!FlushFileBuffers(file_)) throw FileFailure(FileStep::kFlush, path_, LastSystemErrorText());
  ThrowIfStopRequested();
  RemoveOnAbruptStop("");
  open_ = false;
  if (!CloseHandle(file_)) throw FileFailure(FileStep::kWrite, path_, LastSystemErrorText());
  if (!MoveFileExW(WideString(temporary_path_).c_str(), WideString(replaced_path_).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    throw FileFailure(FileStep::kReplace, path_, LastSystemErrorText());
  }
  pending_ = false;
}

void LocalTarget::Discard() noexcept {
  if (pending_) RemoveOnAbruptStop("");
  if (open_) CloseHandle(file_);
  open_ = false;
  if (pending_) DeleteFileW(WideString(temporary_path_).c_str());
  pending_ = false;
}

}  // namespace platform
