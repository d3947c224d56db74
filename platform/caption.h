#pragma once

#include <string>
#include <string_view>

namespace platform {

// A window caption from the program file's path: the folder dropped, the name
// cut at its first dot, every letter after the first in lower case
// ("C:\Tools\FileCopy.exe" gives "Filecopy").
std::u16string CaptionFromProgramPath(std::u16string_view path);

}  // namespace platform
