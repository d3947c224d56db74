#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/local_file.h"

// An upload's source: an existing file, or anything else that can be read to
// its end (a FIFO), but no folder. Held while it is read so nobody changes it
// meanwhile (platform::OpenForReading); a program that holds it is waited for
// briefly. Every failure throws FileFailure; a stop while it waits throws
// platform::Stopped.
class LocalSource {
 public:
  explicit LocalSource(std::string path);

  // Fills up to size bytes; 0 means the end of the file.
  std::size_t Read(void* buffer, std::size_t size);
  // Nothing when the system cannot tell, or it is not a regular file.
  std::optional<std::uint64_t> Size() const;
  void Close();

 private:
  std::string path_;
  platform::FileHandle file_;
  bool may_block_ = false;
};
