#pragma once

#include <stdexcept>
#include <string>
#include <utility>

// The step of a local file operation that failed.
enum class FileStep { kOpen, kRead, kCreate, kWrite, kReplace, kFlush };

// A local file operation that failed: the step, the file as the person named
// it, and why, in words (the system's, or the program's own), which what() gives.
class FileFailure : public std::runtime_error {
 public:
  FileFailure(FileStep step, std::string path, const std::string& reason)
      : std::runtime_error(reason), step_(step), path_(std::move(path)) {}

  FileStep step() const { return step_; }
  const std::string& path() const { return path_; }

 private:
  FileStep step_;
  std::string path_;
};
