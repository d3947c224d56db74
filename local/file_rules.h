#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/local_file.h"

// The rules for the PC's files that need no system call, as pure functions.

// Whether Windows takes a file name for a device in every folder: NUL, CON,
// PRN, AUX, COM1 to COM9 and LPT1 to LPT9, also with a superscript one, two
// or three (U+00B9, U+00B2, U+00B3) for the digit, in any case, with or
// without an extension ("nul.txt"), and with blanks after it ("NUL .txt").
bool IsWindowsDeviceName(std::string_view name);

// Where a path's file name begins: after the last of the separators.
std::size_t FileNameStart(std::string_view path, std::string_view separators);

enum class TargetRule {
  kCreate,           // nothing there yet: a new file
  kReplace,          // a regular file, or a link to one: that file
  kNotARegularFile,  // a folder, device, FIFO, socket, or a link to one
  kDanglingLink,     // a link to nothing, which cp also refuses to write through
  kUnresolvedLink,   // a link whose file the system will not name: replacing
                     // the link itself would cut it off from that file
};

// What a download does with its target, from what the path names. Where the
// system would not say, the file is taken to be there, and the calls that
// replace it say why they cannot.
TargetRule RuleFor(const platform::PathFacts& facts);
