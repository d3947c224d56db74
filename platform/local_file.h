#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/native_file.h"

// Local files for the two transfers. Every failure throws platform::FileFailure.

namespace platform {

// An existing file, opened for reading and held without sharing.
class LocalSource {
 public:
  explicit LocalSource(std::string path);
  ~LocalSource();
  LocalSource(const LocalSource&) = delete;
  LocalSource& operator=(const LocalSource&) = delete;

  // Fills up to size bytes; 0 means the end of the file.
  std::size_t Read(void* buffer, std::size_t size);
  // Nothing when the system cannot tell.
  std::optional<std::uint64_t> Size() const;
  void Close();

 private:
  std::string path_;
  NativeFile file_;
  bool open_ = true;
};

// The new content of a file, written to a temporary file in the same folder
// (held without sharing) so the file itself is untouched until Commit puts the
// new content in its place. Dropped without Commit, it leaves nothing behind.
// A run that was killed cannot tidy up, so the temporary files of the same
// target that no running copy holds are removed first. A stop requested
// before the new content is in place throws platform::Stopped.
class LocalTarget {
 public:
  explicit LocalTarget(std::string path);
  ~LocalTarget();
  LocalTarget(const LocalTarget&) = delete;
  LocalTarget& operator=(const LocalTarget&) = delete;

  // Writes all size bytes.
  void Write(const void* data, std::size_t size);
  void Commit();

 private:
  void Discard() noexcept;

  std::string path_;
  std::string replaced_path_;  // on POSIX, the file a link as path_ names
  std::string temporary_path_;
  NativeFile file_;
  bool open_ = true;
  bool pending_ = true;
};

}  // namespace platform
