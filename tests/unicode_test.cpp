#include "platform/unicode.h"

#include <gtest/gtest.h>

namespace {

using platform::Utf16ToUtf8;
using platform::Utf8ToUtf16;

TEST(UnicodeTest, ConvertsBothWaysWithoutLoss) {
  const std::u16string text = u"za\u017c\u00f3\u0142\u0107_\u65e5\u672c_\U0001F600.txt";
  EXPECT_EQ(Utf16ToUtf8(text),
            "za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87_\xe6\x97\xa5\xe6\x9c\xac_"
            "\xf0\x9f\x98\x80.txt");
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
  EXPECT_EQ(Utf8ToUtf16("\\Tarvel\\remanx.imp"), u"\\Tarvel\\remanx.imp");
}

TEST(UnicodeTest, KeepsUnpairedSurrogatesThroughARoundTrip) {
  const std::u16string lone_high = {u'a', 0xD800, u'b'};
  const std::u16string lone_low = {0xDC00};
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(lone_high)), lone_high);
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(lone_low)), lone_low);
}

TEST(UnicodeTest, ReplacesMalformedUtf8) {
  EXPECT_EQ(Utf8ToUtf16("a\xff"
                        "b"),
            u"a\uFFFDb");
  EXPECT_EQ(Utf8ToUtf16("\xc5"), u"\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xc0\x80"), u"\uFFFD");          // overlong NUL
  EXPECT_EQ(Utf8ToUtf16("\xf4\x90\x80\x80"), u"\uFFFD");  // past U+10FFFF
}

}  // namespace
