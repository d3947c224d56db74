#pragma once

#include <string>
#include <vector>

enum class Command { kShowUsage, kDownload, kUpload };

struct Invocation {
  Command command = Command::kShowUsage;
  std::string file;  // the local file, for a transfer
};

// The argument vector, program name first. Only the first two arguments
// count; the option must be exactly "-d" or "-u".
Invocation ParseCommandLine(const std::vector<std::string>& arguments);
