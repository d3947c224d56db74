#pragma once

#include <string>
#include <string_view>

// A download's temporary file is named after its target, in the target's
// folder: "stock.txt.filecopy-" and six lower-case letters and digits, drawn
// at random, so that it is found beside the target and tells whose it is.

// A new temporary path for the target; another call gives another.
std::string TemporaryPathFor(const std::string& target);

// Whether a file name is one a download of the file target_name gave its
// temporary file (letters of either case, as older versions drew them).
bool IsTemporaryNameOf(std::string_view name, std::string_view target_name);
