#pragma once

#include <string>
#include <vector>

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitCopyFailed = 1;
// The device could not be reached: dock the handheld and try again.
inline constexpr int kExitNoDevice = 2;

// The whole program: the argument vector (UTF-8, program name first) in,
// the exit status out.
int RunFileCopy(const std::vector<std::string>& arguments);
