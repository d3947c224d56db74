#include "local/local_source.h"

#include <utility>

#include "local/file_failure.h"
#include "local/held_files.h"
#include "texts/texts.h"

// A folder would open as a file on POSIX but could not be read: it is refused
// before the device file is emptied for it.
LocalSource::LocalSource(std::string path) : path_(std::move(path)) {
  if (platform::Examine(path_).type == platform::FileType::kFolder) {
    throw FileFailure(FileStep::kOpen, path_, Say(Text::kLocalIsFolder));
  }
  const platform::FileError error =
      Persistently([&] { return platform::OpenForReading(path_, file_); });
  if (error.failed()) throw FileFailure(FileStep::kOpen, path_, ReasonFor(path_, error));
  // What is not a regular file (a FIFO) may block, so it is waited for with
  // the stop; first for its writer, and only then is the device contacted.
  may_block_ = !platform::SizeOf(file_);
  if (may_block_) Uninterrupted([&] { return platform::WaitUntilReadable(file_); });
}

std::size_t LocalSource::Read(void* buffer, std::size_t size) {
  if (may_block_) Uninterrupted([&] { return platform::WaitUntilReadable(file_); });
  std::size_t count = 0;
  const platform::FileError error =
      Uninterrupted([&] { return platform::Read(file_, buffer, size, count); });
  if (error.failed()) throw FileFailure(FileStep::kRead, path_, error.reason);
  return count;
}

std::optional<std::uint64_t> LocalSource::Size() const { return platform::SizeOf(file_); }

// Read to its end, whatever closing says.
void LocalSource::Close() { file_.Close(); }
