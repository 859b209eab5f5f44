// Property access through the helper interface, as the application reaches it.
#include <gtest/gtest.h>

#include <QCursor>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>

#include "runtime/helper_interface.h"
#include "tests/support/expect_runtime_error.h"
#include "tests/ui/ui_test_support.h"
#include "ui/qt/window_frame.h"

namespace ui {
namespace {

using namespace ui_test;

int64_t Get(int32_t window, int32_t unit, int32_t property) {
  return rt::Helpers().GetUnitProperty(window, unit, property, -1);
}
void Set(int32_t window, int32_t unit, int32_t property, int64_t value) {
  rt::Helpers().SetUnitProperty(window, unit, property, -1, value);
}

class UnitPropertiesTest : public UiTest {};

TEST_F(UnitPropertiesTest, CommonPropertiesComeFromTheTemplateBeforeTheWindowExists) {
  EXPECT_EQ(Get(kWindow, kButton, 0), 220);
  EXPECT_EQ(Get(kWindow, kButton, 1), 30);
  EXPECT_EQ(Get(kWindow, kButton, 2), 80);  // the template width
  EXPECT_EQ(Get(kWindow, kButton, 3), 30);
  EXPECT_EQ(Get(kWindow, kWindowUnitId, 2), 420);
  EXPECT_EQ(TakeText(Get(kWindow, kLabel, 4)), "标记");
  EXPECT_EQ(Get(kWindow, kCycleA, 5), 1);
  EXPECT_EQ(Get(kWindow, kCycleA, 6), 0);
  rt::ByteSet pointer =
      rt::ByteSet::Adopt(reinterpret_cast<void*>(static_cast<intptr_t>(Get(kWindow, kButton, 7))));
  EXPECT_EQ(pointer.view(), std::string("\x89\x7F\0\0", 4));
  EXPECT_EQ(Get(kWindow, kLabel, 7), 0);  // an empty pointer block is the empty byte set

  // Writes before the window exists change what it is built from.
  Set(kWindow, kButton, 0, 5);
  Set(kWindow, kButton, 6, 1);
  Set(kWindow, kLabel, 5, 0);
  LoadWindow(kWindow);
  EXPECT_EQ(WidgetOf(kButton)->x(), 5);
  EXPECT_FALSE(WidgetOf(kButton)->isEnabled());
  EXPECT_FALSE(WidgetOf(kLabel)->isVisible());
}

TEST_F(UnitPropertiesTest, CommonPropertiesOfALiveWindowComeFromItsControls) {
  LoadWindow(kWindow);
  WidgetOf(kButton)->move(33, 44);
  EXPECT_EQ(Get(kWindow, kButton, 0), 33);
  EXPECT_EQ(Get(kWindow, kButton, 1), 44);
  Set(kWindow, kButton, 2, 90);
  EXPECT_EQ(WidgetOf(kButton)->width(), 90);
  EXPECT_EQ(Get(kWindow, kButton, 2), 90);
  Set(kWindow, kButton, 5, 0);
  EXPECT_EQ(Get(kWindow, kButton, 5), 0);
  EXPECT_FALSE(WidgetOf(kButton)->isVisible());
  Set(kWindow, kEdit, 6, 1);
  EXPECT_EQ(Get(kWindow, kEdit, 6), 1);
  EXPECT_FALSE(WidgetOf(kEdit)->isEnabled());
  // A window's size is its outer size.
  Set(kWindow, kWindowUnitId, 2, 500);
  EXPECT_EQ(FrameWidgetOf(kWindow)->frameGeometry().width(), 500);
  EXPECT_EQ(Get(kWindow, kWindowUnitId, 2), 500);
  EXPECT_EQ(Get(kWindow, kWindowUnitId, 3), 320);
  // A pointer written as a byte set replaces the unit's mouse pointer.
  rt::ByteSet ibeam(std::string("\x81\x7F\0\0", 4));  // 32641 is no standard pointer
  Set(kWindow, kLabel, 7, reinterpret_cast<intptr_t>(ibeam.get()));
  EXPECT_EQ(UnitCursor(kWindow, kLabel), nullptr);
  ibeam = rt::ByteSet(std::string("\x01\x7F\0\0", 4));  // 32513: the text pointer
  Set(kWindow, kLabel, 7, reinterpret_cast<intptr_t>(ibeam.get()));
  ASSERT_NE(UnitCursor(kWindow, kLabel), nullptr);
  EXPECT_EQ(WidgetOf(kLabel)->cursor().shape(), Qt::IBeamCursor);
}

TEST_F(UnitPropertiesTest, EditBoxContentRoundTripsCodePageTextWithLineBreaks) {
  LoadWindow(kWindow);
  EXPECT_EQ(TakeText(Get(kWindow, kEdit, 8)), "abc");     // from the type data
  const char* content = "第一行\r\n第二行 \x80\r\n末尾";  // 0x80: the euro sign in code page 936
  Set(kWindow, kEdit, 8, TextValue(content));
  EXPECT_EQ(TakeText(Get(kWindow, kEdit, 8)), content);
  auto* edit = static_cast<QPlainTextEdit*>(WidgetOf(kEdit));
  EXPECT_EQ(edit->document()->blockCount(), 3);  // CR LF is a line break
  EXPECT_EQ(edit->document()->findBlockByNumber(1).text(), QString::fromUtf16(u"第二行 €"));
  Set(kWindow, kReadOnlyEdit, 8, TextValue(""));
  EXPECT_EQ(Get(kWindow, kReadOnlyEdit, 8), 0);  // an empty text reads as null
}

TEST_F(UnitPropertiesTest, ATextReadIsANewBlockTheCallerOwns) {
  LoadWindow(kWindow);
  EXPECT_EQ(TakeText(Get(kWindow, kWindowUnitId, 8)), "标题");
  {
    rt::Text caption("新的标题");
    Set(kWindow, kWindowUnitId, 8, TextValue(caption.get()));
  }  // the caption set is freed here: the window keeps its own copy
  int64_t first = Get(kWindow, kWindowUnitId, 8);
  int64_t second = Get(kWindow, kWindowUnitId, 8);
  EXPECT_NE(first, second);
  EXPECT_EQ(TakeText(first), "新的标题");
  EXPECT_EQ(TakeText(second), "新的标题");
  EXPECT_EQ(FrameWidgetOf(kWindow)->windowTitle(), QString::fromUtf16(u"新的标题"));
  Set(kWindow, kButton, 8, TextValue("按"));
  EXPECT_EQ(TakeText(Get(kWindow, kButton, 8)), "按");
  EXPECT_EQ(TakeText(Get(kWindow, kLabel, 8)), "单击复制");
  // Generic units have no type properties of their own.
  EXPECT_EQ(Get(kWindow, kUnregistered, 8), 0);
}

TEST_F(UnitPropertiesTest, FailedLookupsEndTheProgramWithTheirMessages) {
  // A report about a window that is not loaded names no window and no unit.
  EXPECT_RUNTIME_ERROR(
      Get(kWindow, kEdit, 8),
      "运行时出错!\r\n\r\n错误信息：读取组件属性时发现指定窗口尚未载入\r\n\r\n1375862785, 369098758\r\n"
      "未找到所指定的窗口\r\n");
  EXPECT_RUNTIME_ERROR(
      Set(kWindow, kWindowUnitId, 8, TextValue("x")),
      "运行时出错!\r\n\r\n错误信息：修改组件属性时发现指定窗口尚未载入\r\n\r\n1375862785, 100728832\r\n"
      "未找到所指定的窗口\r\n");
  EXPECT_RUNTIME_ERROR(
      Get(0x52FF0001, kButton, 2),
      "运行时出错!\r\n\r\n错误信息：未载入欲访问窗口组件所在的窗口\r\n\r\n1392443393, 369098755\r\n"
      "未找到所指定的窗口\r\n");
  EXPECT_RUNTIME_ERROR(
      Get(kOtherWindow, kLabel, 0),
      "运行时出错!\r\n\r\n错误信息：指定窗口或窗口组件不存在或尚未载入\r\n\r\n1375862786, 369098753\r\n"
      "未找到所指定的窗口\r\n");
  // A library asking for a live control of a window that is not loaded.
  EXPECT_RUNTIME_ERROR_CONTAINING(LiveControlOf(kWindow, kButton), "指定窗口或窗口组件不存在或尚未载入");
  // A unit the live window does not have: reported with the window's name, never touched.
  LoadWindow(kWindow);
  EXPECT_RUNTIME_ERROR(
      Set(kWindow, 0x16000077, 0, 1),
      "运行时出错!\r\n\r\n错误信息：指定窗口或窗口组件不存在或尚未载入\r\n\r\n1375862785, 369098871\r\n"
      "\"测试窗口\"\r\n未找到所指定的窗口组件\r\n");
}

}  // namespace
}  // namespace ui
