#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "local/file_failure.h"
#include "local/temporary_name.h"
#include "platform/local_file.h"

// A download's target: only a regular file is replaced (through a link, the
// file it leads to, as cp does); a new one is created where there is none.
// Anything else there, a link to nothing, or a Windows device name, is
// refused before the device is contacted. Every failure throws FileFailure.
//
// The new content goes to a temporary file beside the file it replaces
// (local/temporary_name.h), held so no other program can take it, and the
// file itself is untouched until Commit puts the new content in its place.
// Dropped without Commit, it leaves nothing behind. A run that was killed
// cannot tidy up, so the temporary files of the same file that no running
// copy holds are removed first. A stop requested before the new content is
// in place throws platform::Stopped.
class LocalTarget {
 public:
  explicit LocalTarget(std::string path);
  ~LocalTarget();
  LocalTarget(const LocalTarget&) = delete;
  LocalTarget& operator=(const LocalTarget&) = delete;

  // Writes all size bytes.
  void Write(const void* data, std::size_t size);
  // placed is told once the new content has the file's name, as a failure
  // of the flush that follows no longer takes it back.
  void Commit(const std::function<void()>& placed);

 private:
  void Check(FileStep step, const platform::FileError& error);
  void CreateTemporaryFile();
  void Discard() noexcept;

  std::string path_;           // as the person named it, for messages
  std::string replaced_path_;  // the file the new content takes the place of
  std::string temporary_path_;
  NameLimit names_;  // of the replaced file's folder
  platform::FileHandle file_;
  bool pending_ = false;  // the temporary file still has its name
};
