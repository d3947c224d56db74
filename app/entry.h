#pragma once

#include <string>
#include <vector>

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitCopyFailed = 1;

// The whole program: the argument vector (UTF-8, program name first) in,
// the exit status out.
int RunFileCopy(const std::vector<std::string>& arguments);
