#pragma once

#include <string>
#include <vector>

namespace platform {

// A program that holds a file open, as the system names it.
struct FileHolder {
  std::string application;  // its name for people ("Microsoft Excel"), if any
  std::string image;        // its program file's name ("EXCEL.EXE"), if known
};

// The programs that hold a local file open; nothing where the system cannot tell.
std::vector<FileHolder> HoldersOf(const std::string& path);

}  // namespace platform
