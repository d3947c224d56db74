#pragma once

#include <string>
#include <string_view>

namespace platform {

// Conversions between UTF-8 and UTF-16. Unpaired surrogates, which Windows
// allows in file names, survive a round trip (encoded as in WTF-8); other
// malformed UTF-8 becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace platform
