#include "ui/qt/qt_text.h"

#include <gtest/gtest.h>

namespace ui {
namespace {

TEST(QtTextTest, CodePageTextCrossesTheToolkitBoundaryWithItsLineBreaks) {
  EXPECT_EQ(ToQString("中文\r\nab"), QString::fromUtf16(u"中文\nab"));
  EXPECT_EQ(FromQString(QString::fromUtf16(u"中文\nab")), "中文\r\nab");
  EXPECT_EQ(FromQString(ToQString("a\r\n\r\nb\r\n")), "a\r\n\r\nb\r\n");
  EXPECT_EQ(FromQString(QString::fromUtf16(u"x\u2029y")), "x\r\ny");  // a text widget's paragraph break
  EXPECT_EQ(FromQString(QString::fromUtf16(u"\u0e01")), "?");         // not in code page 936
  EXPECT_TRUE(ToQString("").isEmpty());
}

}  // namespace
}  // namespace ui
