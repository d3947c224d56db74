#include <windows.h>

#include <utility>

#include "platform/file_failure.h"
#include "platform/local_file.h"
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
    throw FileFailure("create", path, LastSystemErrorText());
  }
}

constexpr int kTemporaryNameAttempts = 100;

}  // namespace

LocalSource::LocalSource(std::string path) : path_(std::move(path)) {
  file_ = CreateFileW(WideString(path_).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file_ == INVALID_HANDLE_VALUE) throw FileFailure("open", path_, LastSystemErrorText());
}

LocalSource::~LocalSource() {
  if (open_) CloseHandle(file_);
}

std::size_t LocalSource::Read(void* buffer, std::size_t size) {
  DWORD count = 0;
  if (!ReadFile(file_, buffer, static_cast<DWORD>(size), &count, nullptr)) {
    throw FileFailure("read", path_, LastSystemErrorText());
  }
  return count;
}

void LocalSource::Close() {
  open_ = false;
  CloseHandle(file_);
}

LocalTarget::LocalTarget(std::string path) : path_(std::move(path)) {
  CheckReplaceable(path_);
  replaced_path_ = path_;
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
    throw FileFailure("create", path_, LastSystemErrorText());
  }
}

LocalTarget::~LocalTarget() { Discard(); }

void LocalTarget::Write(const void* data, std::size_t size) {
  DWORD count = 0;
  if (!WriteFile(file_, data, static_cast<DWORD>(size), &count, nullptr)) {
    throw FileFailure("write", path_, LastSystemErrorText());
  }
  if (count != size) {
    SetLastError(ERROR_DISK_FULL);
    throw FileFailure("write", path_, LastSystemErrorText());
  }
}

// The data reaches the disk before the new name does, so a power cut leaves
// the old file or the whole new one; the move itself writes through.
void LocalTarget::Commit() {
  if (!FlushFileBuffers(file_)) throw FileFailure("flush", path_, LastSystemErrorText());
  open_ = false;
  if (!CloseHandle(file_)) throw FileFailure("write", path_, LastSystemErrorText());
  if (!MoveFileExW(WideString(temporary_path_).c_str(), WideString(replaced_path_).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    throw FileFailure("replace", path_, LastSystemErrorText());
  }
  pending_ = false;
}

void LocalTarget::Discard() noexcept {
  if (open_) CloseHandle(file_);
  open_ = false;
  if (pending_) DeleteFileW(WideString(temporary_path_).c_str());
  pending_ = false;
}

}  // namespace platform
