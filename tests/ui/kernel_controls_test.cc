#include "ui/kernel_controls.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include "runtime/helper_interface.h"
#include "tests/ui/ui_test_support.h"
#include "ui/event_dispatch.h"

namespace ui {
namespace {

using namespace ui_test;

TEST(KernelTypeDataTest, EncodersAndCheckersAgree) {
  EditBoxTypeData e;
  e.content = "内容\r\n第二行";
  e.flags = EditBoxTypeData::kReadOnly;
  e.maxLength = 12;
  e.background = 0x00123456;
  EditBoxTypeData back;
  ASSERT_TRUE(EditBoxTypeData::Decode(e.Encode(), &back));
  EXPECT_EQ(back.content, e.content);
  EXPECT_EQ(back.flags, e.flags);
  EXPECT_EQ(back.maxLength, 12);
  EXPECT_EQ(back.background, 0x00123456u);
  const std::string bytes = e.Encode();
  EXPECT_FALSE(EditBoxTypeData::Decode(bytes.substr(0, bytes.size() - 1), &back));
  EXPECT_FALSE(EditBoxTypeData::Decode(bytes + "x", &back));
  CaptionTypeData c{"解析", 1};
  CaptionTypeData cb;
  ASSERT_TRUE(CaptionTypeData::Decode(c.Encode(), &cb));
  EXPECT_EQ(cb.caption, "解析");
  EXPECT_EQ(cb.alignment, 1u);
  EXPECT_FALSE(CaptionTypeData::Decode("no zero", &cb));
  WindowTypeData w{"标题", 9}, wb;
  ASSERT_TRUE(WindowTypeData::Decode(w.Encode(), &wb));
  EXPECT_EQ(wb.caption, "标题");
  EXPECT_EQ(wb.style, 9u);
  EXPECT_FALSE(WindowTypeData::Decode(std::string_view(), &wb));
}

class KernelControlsTest : public UiTest {};

TEST_F(KernelControlsTest, EditBoxesAreWhiteMultiLineWithoutScrollBarsAndHideTheSelection) {
  LoadWindow(kWindow);
  auto* readOnly = dynamic_cast<QPlainTextEdit*>(WidgetOf(kReadOnlyEdit));
  auto* editable = dynamic_cast<QPlainTextEdit*>(WidgetOf(kEdit));
  ASSERT_NE(readOnly, nullptr);
  ASSERT_NE(editable, nullptr);
  EXPECT_TRUE(readOnly->isReadOnly());
  EXPECT_FALSE(editable->isReadOnly());
  EXPECT_EQ(editable->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(editable->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(editable->lineWrapMode(), QPlainTextEdit::WidgetWidth);
  const QPalette p = editable->palette();
  EXPECT_EQ(p.color(QPalette::Base), QColor(Qt::white));
  EXPECT_EQ(p.color(QPalette::Inactive, QPalette::Highlight), QColor(Qt::white));
  EXPECT_EQ(p.color(QPalette::Inactive, QPalette::HighlightedText),
            p.color(QPalette::Active, QPalette::Text));

  // Typed text reaches the content property; a read-only box takes no input.
  editable->moveCursor(QTextCursor::End);
  QTest::keyClicks(editable, "de");
  QTest::keyClick(editable, Qt::Key_Return);
  QTest::keyClicks(editable, "f");
  EXPECT_EQ(TakeText(rt::Helpers().GetUnitProperty(kWindow, kEdit, 8, -1)), "abcde\r\nf");
  QTest::keyClicks(readOnly, "zz");
  EXPECT_EQ(rt::Helpers().GetUnitProperty(kWindow, kReadOnlyEdit, 8, -1), 0);
}

TEST_F(KernelControlsTest, SingleLineEditBoxesKeepTheirLengthLimit) {
  WindowData d = TestWindowData();
  EditBoxTypeData single;
  single.flags = EditBoxTypeData::kHideSelection;
  single.maxLength = 3;
  d.windows[0].units[6].typeData = single.Encode();
  std::vector<unsigned char> bytes = SerializeWindowData(d);
  LoadTemplates(bytes.data(), bytes.size(), kRoutines, kRoutineCount);
  LoadWindow(kWindow);
  auto* line = dynamic_cast<QLineEdit*>(WidgetOf(kEdit));
  ASSERT_NE(line, nullptr);
  QTest::keyClicks(line, "abcdef");
  EXPECT_EQ(TakeText(rt::Helpers().GetUnitProperty(kWindow, kEdit, 8, -1)), "abc");
}

TEST_F(KernelControlsTest, ClickingALabelRaisesItsClickEvent) {
  int runs = 0;
  g_hooks[kOnOther] = [&](int32_t, const int64_t*, int32_t*) {
    EXPECT_EQ(CurrentEventSource().unitId, kLabel);
    return ++runs, 0;
  };
  LoadWindow(kWindow);
  QTest::mouseClick(WidgetOf(kLabel), Qt::LeftButton);
  QTest::mouseClick(WidgetOf(kLabel), Qt::RightButton);
  EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace ui
