#pragma once

#include <windows.h>

#include <string>

#include "platform/local_file.h"

namespace platform {

// The calls that tell a link and where it leads, from Vista's kernel32; null
// where the system lacks them (XP, which has no links to files).
struct LinkEntries {
  decltype(&GetFileInformationByHandleEx) information = nullptr;
  decltype(&GetFinalPathNameByHandleW) final_path = nullptr;
};
LinkEntries SystemLinkEntries();

// Examine, through these calls.
PathFacts ExamineWith(const std::string& path, const LinkEntries& entries);

}  // namespace platform
