// The test program's window data, built with the template writer, and routines that call
// per-test hooks: shared by the window system's tests of every backend.
#ifndef TESTS_UI_TEST_WINDOW_DATA_H_
#define TESTS_UI_TEST_WINDOW_DATA_H_

#include <functional>
#include <string>
#include <vector>

#include "runtime/program.h"
#include "runtime/values.h"
#include "ui/kernel_controls.h"
#include "ui/template_writer.h"
#include "ui/window_template.h"

namespace ui_test {

inline constexpr int32_t kWindow = 0x52020001;
inline constexpr int32_t kOtherWindow = 0x52020002;  // has a template, never loaded by the fixture
inline constexpr int32_t kLabel = 0x16000001;
inline constexpr int32_t kReadOnlyEdit = 0x16000002;
inline constexpr int32_t kButton = 0x16000003;
inline constexpr int32_t kButtonMinusOne = 0x16000004;
inline constexpr int32_t kLinkedButton = 0x16000005;
inline constexpr int32_t kEdit = 0x16000006;
inline constexpr int32_t kUnregistered = 0x16000007;
inline constexpr int32_t kCycleA = 0x16000008;
inline constexpr int32_t kCycleB = 0x16000009;
inline constexpr rt::TypeCode kUnregisteredType = 0x0006007F;

// Routine slots of the test program.
enum Routine : int32_t { kOnCreated, kOnClick, kOnCycle, kOnMayClose, kOnOther, kRoutineCount };

using Hook = std::function<int64_t(int32_t count, const int64_t* args, int32_t* resultGiven)>;
inline Hook g_hooks[kRoutineCount];

template <int N>
int64_t Trampoline(int32_t count, const int64_t* args, int32_t* resultGiven) {
  return g_hooks[N] ? g_hooks[N](count, args, resultGiven) : 0;
}

inline const rt::AppRoutine kRoutines[kRoutineCount] = {Trampoline<0>, Trampoline<1>, Trampoline<2>,
                                                        Trampoline<3>, Trampoline<4>};

inline ui::UnitRecord Unit(int32_t id, rt::TypeCode type, const char* name, int x, int y, int w, int h,
                           uint32_t flags, std::string typeData,
                           std::vector<ui::EventBinding> bindings = {}) {
  return ui::ControlUnit(id, type, name, x, y, w, h, flags, std::move(typeData), std::move(bindings));
}

inline std::string Caption(const char* text) { return ui::CaptionTypeData{text, 0}.Encode(); }

inline ui::WindowData TestWindowData() {
  ui::WindowTemplate w;
  w.id = kWindow;
  w.indexWord = 0x17E19BD0;
  w.reserved = {0, 0x19010003, 0, 7};
  w.units.push_back(Unit(ui::kWindowUnitId, rt::kTypeWindow, "测试窗口", 50, 60, 420, 320, ui::kStateVisible,
                         ui::WindowTypeData{"标题", 0}.Encode(), {{0, kOnCreated}, {1, kOnMayClose}}));
  ui::UnitRecord label = Unit(kLabel, rt::kTypeLabel, "标签1", 10, 10, 100, 16, ui::kStateVisible,
                              Caption("单击复制"), {{0, kOnOther}});
  label.tag = "标记";
  label.reserved1[3] = 0x5A;  // reserved bytes are kept
  label.controlSlot = 77;     // stored slot values stay as they are, live or not
  label.pointerSlot = 88;
  w.units.push_back(label);
  ui::EditBoxTypeData readOnly;
  readOnly.flags |= ui::EditBoxTypeData::kReadOnly;
  w.units.push_back(Unit(kReadOnlyEdit, rt::kTypeEditBox, "编辑框1", 10, 30, 200, 60, 5, readOnly.Encode()));
  ui::UnitRecord button =
      Unit(kButton, rt::kTypeButton, "按钮1", 220, 30, 80, 30, 5, Caption("解析"), {{0, kOnClick}});
  button.pointerBlock = std::string("\x89\x7F\0\0", 4);  // standard pointer 32649: the hand
  w.units.push_back(button);
  w.units.push_back(Unit(kButtonMinusOne, rt::kTypeButton, "按钮2", 220, 70, 80, 30, 5, Caption("无"),
                         {{0, ui::kNoRoutine}}));
  ui::UnitRecord linked = Unit(kLinkedButton, rt::kTypeButton, "按钮3", 220, 110, 80, 30, 5, Caption("链接"));
  linked.link = kButton;
  w.units.push_back(linked);
  ui::EditBoxTypeData editable;
  editable.content = "abc";
  w.units.push_back(Unit(kEdit, rt::kTypeEditBox, "编辑框2", 10, 100, 200, 60, 5, editable.Encode()));
  w.units.push_back(Unit(kUnregistered, kUnregisteredType, "未知1", 10, 170, 50, 50, 5, "opaque"));
  ui::UnitRecord a = Unit(kCycleA, rt::kTypeButton, "按钮4", 220, 150, 80, 30, 1, Caption("A"));
  a.link = kCycleB;
  ui::UnitRecord b =
      Unit(kCycleB, rt::kTypeButton, "按钮5", 220, 190, 80, 30, 1, Caption("B"), {{0, kOnCycle}});
  b.link = kCycleA;
  w.units.push_back(a);
  w.units.push_back(b);

  ui::WindowTemplate other;
  other.id = kOtherWindow;
  other.units.push_back(Unit(ui::kWindowUnitId, rt::kTypeWindow, "其他窗口", 0, 0, 200, 100,
                             ui::kStateVisible, ui::WindowTypeData{"", 0}.Encode()));
  other.units.push_back(
      Unit(kButton, rt::kTypeButton, "按钮1", 1, 2, 30, 40, 5, Caption("x"), {{0, kOnOther}}));
  return ui::WindowData{{w, other}};
}

inline const std::vector<unsigned char>& TestWindowBytes() {
  static const std::vector<unsigned char> bytes = ui::SerializeWindowData(TestWindowData());
  return bytes;
}

}  // namespace ui_test

#endif  // TESTS_UI_TEST_WINDOW_DATA_H_
