#include "platform/caption.h"

#include <gtest/gtest.h>

namespace {

TEST(CaptionTest, FollowsTheProgramFileName) {
  using platform::CaptionFromProgramPath;
  EXPECT_EQ(CaptionFromProgramPath(u"FileCopy.exe"), u"Filecopy");
  EXPECT_EQ(CaptionFromProgramPath(u"C:\\Program Files\\Tools.v2\\FileCopy.exe"), u"Filecopy");
  EXPECT_EQ(CaptionFromProgramPath(u"C:/tools/FILECOPY.EXE"), u"Filecopy");
  EXPECT_EQ(CaptionFromProgramPath(u"/usr/local/bin/filecopy"), u"filecopy");
  EXPECT_EQ(CaptionFromProgramPath(u"\\\\server\\share\\Kopia.Plikow.exe"), u"Kopia");
  EXPECT_EQ(CaptionFromProgramPath(u"C:\\x\\.hidden"), u"");
}

TEST(CaptionTest, LowersPolishAndOtherLettersAfterTheFirst) {
  using platform::CaptionFromProgramPath;
  EXPECT_EQ(CaptionFromProgramPath(u"\u0141\u00d3D\u0179.EXE"), u"\u0141\u00f3d\u017a");
  EXPECT_EQ(CaptionFromProgramPath(u"Z\u0104\u0106\u0118\u0143\u015a\u017b"),
            u"Z\u0105\u0107\u0119\u0144\u015b\u017c");
  EXPECT_EQ(CaptionFromProgramPath(u"\u041a\u041e\u041f\u0418\u042f.exe"),
            u"\u041a\u043e\u043f\u0438\u044f");
  EXPECT_EQ(CaptionFromProgramPath(u"A1_B-\u00d7"), u"A1_b-\u00d7");
}

}  // namespace
