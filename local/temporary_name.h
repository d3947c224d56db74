#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A download's temporary file is named after its target, in the target's
// folder: "stock.txt.filecopy-" and six lower-case letters and digits, drawn
// at random, so that it is found beside the target and tells whose it is.
// Where that would be longer than the folder takes, the target's name is cut
// to fit, at a character's boundary, and marked with "~" and eight hex digits
// from the whole name, so targets whose names begin alike keep theirs apart.

// The longest file name a folder takes, as its system counts: in bytes, or in
// UTF-16 units (Windows).
struct NameLimit {
  std::size_t longest = 255;
  bool in_utf16_units = false;
};

// A new temporary path for the target; another call gives another.
std::string TemporaryPathFor(const std::string& target, NameLimit limit);

// Whether a file name is one a download of the file target_name, in a folder
// of that limit, gave its temporary file (letters of either case, as older
// versions drew them).
bool IsTemporaryNameOf(std::string_view name, std::string_view target_name, NameLimit limit);
