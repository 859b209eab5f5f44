#include "ui/window_manager.h"

#include <gtest/gtest.h>

#include <QCursor>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include "runtime/libraries.h"
#include "runtime/window_system.h"
#include "tests/support/expect_runtime_error.h"
#include "tests/ui/ui_test_support.h"
#include "ui/qt/native_view.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/window_frame.h"

namespace ui {
namespace {

using namespace ui_test;

class WindowManagerTest : public UiTest {};

TEST_F(WindowManagerTest, TheInstalledWindowSystemFillsItsTwoLibrarySlots) {
  EXPECT_EQ(rt::AllSupportLibraries()[rt::kLibraryGrid], &rt::GridLibrary());
  EXPECT_EQ(rt::AllSupportLibraries()[rt::kLibraryExtended], &rt::ExtendedControlsLibrary());
}

TEST_F(WindowManagerTest, LoadsTheWindowAndItsControlsFromTheTemplate) {
  int created = 0;
  g_hooks[kOnCreated] = [&](int32_t, const int64_t*, int32_t*) {
    // The created event comes after the visible controls are shown.
    EXPECT_TRUE(WidgetOf(kButton)->isVisible());
    ++created;
    return 0;
  };
  LoadWindow(kWindow);
  ASSERT_TRUE(IsWindowLive(kWindow));
  EXPECT_TRUE(rt::IsProgramWindowLive(kWindow));
  EXPECT_EQ(created, 1);  // events 3 and 4 have no binding
  WindowFrame* frame = FrameWidgetOf(kWindow);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->parentWidget(), platform::HiddenOwner());  // owned by the hidden owner window
  EXPECT_TRUE(frame->isWindow());
  EXPECT_TRUE(frame->isVisible());
  EXPECT_EQ(frame->windowTitle(), QString::fromUtf16(u"标题"));
  EXPECT_EQ(frame->frameGeometry().size(), QSize(420, 320));  // the outer size, frame included
  const WindowData data = TestWindowData();
  for (const UnitRecord& u : data.windows[0].units) {
    if (u.id == kWindowUnitId) continue;
    QWidget* w = WidgetOf(u.id);
    ASSERT_NE(w, nullptr) << u.id;
    EXPECT_EQ(w->parentWidget(), frame);
    EXPECT_EQ(w->geometry(), QRect(u.left, u.top, u.width, u.height)) << u.name;  // client coordinates
    EXPECT_EQ(w->isVisible(), (u.stateFlags & kStateVisible) != 0) << u.name;
  }
  EXPECT_EQ(static_cast<QPushButton*>(WidgetOf(kButton))->text(), QString::fromUtf16(u"解析"));
  EXPECT_FALSE(IsWindowLive(kOtherWindow));
  rt::ArgRecord grid;
  grid.setPair(kWindow, kUnregistered, kUnregisteredType);  // as a library command receives a control
  EXPECT_EQ(ControlOfArg(grid), FindLiveControl(kWindow, kUnregistered));
  EXPECT_NE(ControlOfArg(grid), nullptr);
  // Live controls live in side tables; the template's slots keep their stored values.
  EXPECT_EQ(FindTemplate(kWindow)->FindUnit(kLabel)->controlSlot, 77);
  EXPECT_EQ(FindTemplate(kWindow)->FindUnit(kLabel)->pointerSlot, 88);
  EXPECT_EQ(FindTemplate(kWindow)->FindUnit(kButton)->pointerSlot, 0);
}

TEST_F(WindowManagerTest, TemplateOrderIsTheFocusChainAndTheStackingOrder) {
  LoadWindow(kWindow);
  std::vector<int32_t> expected;
  std::map<QWidget*, int32_t> ours;
  const WindowData data = TestWindowData();
  for (const UnitRecord& u : data.windows[0].units) {
    if (u.id == kWindowUnitId) continue;
    expected.push_back(u.id);
    ours[WidgetOf(u.id)] = u.id;
  }
  std::vector<int32_t> chain;
  QWidget* frame = FrameWidgetOf(kWindow);
  for (QWidget* w = frame->nextInFocusChain(); w != frame; w = w->nextInFocusChain()) {
    if (ours.count(w)) chain.push_back(ours[w]);
  }
  EXPECT_EQ(chain, expected);
  // The first control lies on top: the children list runs from the bottom up.
  std::vector<int32_t> stacking;
  for (QObject* o : frame->children()) {
    if (auto* w = qobject_cast<QWidget*>(o); w && ours.count(w)) stacking.insert(stacking.begin(), ours[w]);
  }
  EXPECT_EQ(stacking, expected);
  // A real Tab moves from one button to the next in template order.
  frame->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
  WidgetOf(kButton)->setFocus();
  QTest::keyClick(WidgetOf(kButton), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), WidgetOf(kButtonMinusOne));
}

TEST_F(WindowManagerTest, MousePointersComeFromThePointerBlocks) {
  LoadWindow(kWindow);
  const QCursor* cursor = UnitCursor(kWindow, kButton);
  ASSERT_NE(cursor, nullptr);
  EXPECT_EQ(cursor->shape(), Qt::PointingHandCursor);
  EXPECT_EQ(WidgetOf(kButton)->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(UnitCursor(kWindow, kLabel), nullptr);  // an empty block: the default pointer
  DestroyWindow(kWindow);
  EXPECT_EQ(UnitCursor(kWindow, kButton), nullptr);  // released with the window
}

TEST_F(WindowManagerTest, LoadingALiveWindowAgainRestoresIt) {
  int created = 0;
  g_hooks[kOnCreated] = [&](int32_t, const int64_t*, int32_t*) { return ++created, 0; };
  LoadWindow(kWindow);
  WindowFrame* frame = FrameWidgetOf(kWindow);
  frame->showMinimized();
  LoadWindow(kWindow);
  EXPECT_EQ(FrameWidgetOf(kWindow), frame);
  EXPECT_FALSE(frame->isMinimized());
  EXPECT_EQ(created, 1);
  EXPECT_EQ(rt::ProgramWindowCount(), 1);
}

TEST_F(WindowManagerTest, ClosingAsksTheWindowAndDeletesIt) {
  int32_t answer = 0;
  bool give = true;
  g_hooks[kOnMayClose] = [&](int32_t, const int64_t*, int32_t* given) {
    *given = give ? 1 : 0;
    return answer;
  };
  LoadWindow(kWindow);
  QPointer<WindowFrame> frame = FrameWidgetOf(kWindow);
  EXPECT_FALSE(frame->close());  // a given false result keeps it open
  QApplication::processEvents();
  EXPECT_TRUE(IsWindowLive(kWindow));
  give = false;
  EXPECT_TRUE(frame->close());
  QApplication::processEvents();
  EXPECT_TRUE(frame.isNull());  // deleted, not only hidden
  EXPECT_FALSE(IsWindowLive(kWindow));
  EXPECT_FALSE(rt::IsProgramWindowLive(kWindow));
  EXPECT_EQ(FindLiveControl(kWindow, kButton), nullptr);
}

// Logs the loading hooks of a test control type.
std::string g_hookLog;
class LoggingControl : public Control {
 public:
  explicit LoggingControl(const ControlContext& c) : Control(c.windowId, c.unit->id), name_(c.unit->name) {
    setView(ViewOf(new QWidget(WidgetOf(c.parent))));
  }
  void OnUnitsLoaded() override { g_hookLog += "loaded:" + name_ + ";"; }
  void OnWindowLoaded() override { g_hookLog += "window;"; }
  void OnLoadingComplete() override { g_hookLog += "complete:" + name_ + ";"; }

 private:
  std::string name_;
};

TEST_F(WindowManagerTest, LoadingHooksRunLastToFirstAroundTheWindowEvents) {
  constexpr rt::TypeCode kLogging = 0x0006007E;
  RegisterControlType({kLogging, 5, false, nullptr, [](const ControlContext& c) -> std::unique_ptr<Control> {
                         return std::make_unique<LoggingControl>(c);
                       }});
  WindowData d;
  WindowTemplate w;
  w.id = kWindow;
  w.units.push_back(Unit(kWindowUnitId, rt::kTypeWindow, "", 0, 0, 300, 200, kStateVisible,
                         WindowTypeData{"", 0}.Encode(),
                         {{0, kOnCreated}, {3, kOnCreated}, {4, kOnCreated}}));
  w.units.push_back(Unit(0x16000001, kLogging, "a", 0, 0, 10, 10, kStateVisible, ""));
  w.units.push_back(Unit(0x16000002, kLogging, "b", 0, 0, 10, 10, kStateVisible, ""));
  d.windows.push_back(w);
  std::vector<unsigned char> bytes = SerializeWindowData(d);
  LoadTemplates(bytes.data(), bytes.size(), kRoutines, kRoutineCount);
  g_hookLog.clear();
  g_hooks[kOnCreated] = [](int32_t, const int64_t*, int32_t*) {
    g_hookLog += "event;";
    return 0;
  };
  LoadWindow(kWindow);
  EXPECT_EQ(g_hookLog, "loaded:b;loaded:a;event;event;event;complete:b;complete:a;");
}

TEST_F(WindowManagerTest, TheWindowEventsStopOnceTheWindowIsGone) {
  std::string log;
  WindowData d = TestWindowData();
  d.windows[0].units[0].bindings = {{0, kOnCreated}, {3, kOnOther}};
  std::vector<unsigned char> bytes = SerializeWindowData(d);
  LoadTemplates(bytes.data(), bytes.size(), kRoutines, kRoutineCount);
  g_hooks[kOnOther] = [&](int32_t, const int64_t*, int32_t*) {
    log += "moved;";
    return 0;
  };
  // Destroyed between the created and the moved event (as the end processing would).
  g_hooks[kOnCreated] = [&](int32_t, const int64_t*, int32_t*) {
    log += "created;";
    DestroyWindow(kWindow);
    return 0;
  };
  LoadWindow(kWindow);
  EXPECT_EQ(log, "created;");
  EXPECT_FALSE(IsWindowLive(kWindow));
}

// Takes the focus when its window's loading completes, as a control may.
class FocusTakingControl : public Control {
 public:
  explicit FocusTakingControl(const ControlContext& c) : Control(c.windowId, c.unit->id) {
    setView(ViewOf(new QPushButton(WidgetOf(c.parent))));
  }
  void OnLoadingComplete() override { WidgetOf(this)->setFocus(); }
};

TEST_F(WindowManagerTest, TheControlFocusedInTheLoadedWindowGetsTheFocusBack) {
  constexpr rt::TypeCode kFocusTaking = 0x0006007D;
  RegisterControlType(
      {kFocusTaking, 5, false, nullptr, [](const ControlContext& c) -> std::unique_ptr<Control> {
         return std::make_unique<FocusTakingControl>(c);
       }});
  constexpr int32_t kSecond = 0x52020004, kFirstButton = 0x16000001, kSecondButton = 0x16000002;
  WindowData d = TestWindowData();
  WindowTemplate w;
  w.id = kSecond;
  w.units.push_back(Unit(kWindowUnitId, rt::kTypeWindow, "第二窗口", 500, 60, 300, 200, kStateVisible,
                         WindowTypeData{"", 0}.Encode(), {{0, kOnOther}}));
  w.units.push_back(Unit(kFirstButton, rt::kTypeButton, "按钮1", 10, 10, 80, 30, 5, Caption("一")));
  w.units.push_back(Unit(kSecondButton, rt::kTypeButton, "按钮2", 10, 50, 80, 30, 5, Caption("二")));
  w.units.push_back(Unit(0x16000003, kFocusTaking, "取焦点", 10, 90, 80, 30, 5, ""));
  d.windows.push_back(w);
  std::vector<unsigned char> bytes = SerializeWindowData(d);
  LoadTemplates(bytes.data(), bytes.size(), kRoutines, kRoutineCount);
  // The second window's created routine puts the focus on its second button.
  g_hooks[kOnOther] = [](int32_t, const int64_t*, int32_t*) {
    WidgetOf(kSecondButton, kSecond)->setFocus();
    return 0;
  };
  LoadWindow(kWindow);
  FrameWidgetOf(kWindow)->activateWindow();
  WidgetOf(kEdit)->setFocus();
  QApplication::processEvents();
  LoadWindow(kSecond);  // loaded while a control of the first window has the focus
  QApplication::processEvents();
  EXPECT_EQ(FrameWidgetOf(kSecond)->focusWidget(), WidgetOf(kSecondButton, kSecond));
  EXPECT_EQ(QApplication::focusWidget(), WidgetOf(kSecondButton, kSecond));
  DestroyWindow(kSecond);
}

int64_t CloseFrameSoon(int32_t, const int64_t*, int32_t*) {
  // The created event of the start window: the user closes it once the loop runs.
  QTimer::singleShot(20, [] {
    std::fprintf(stderr, "owner=%d;",
                 FrameWidgetOf(kWindow)->parentWidget() == platform::HiddenOwner() ? 1 : 0);
    FrameWidgetOf(kWindow)->close();
  });
  return 0;
}

const rt::ProgramHeader& TestProgram() {
  static const rt::AppRoutine routines[kRoutineCount] = {CloseFrameSoon, nullptr, nullptr, nullptr, nullptr};
  static const rt::ProgramHeader program = {routines,
                                            kRoutineCount,
                                            nullptr,
                                            0,
                                            TestWindowBytes().data(),
                                            TestWindowBytes().size(),
                                            rt::AllSupportLibraries(),
                                            nullptr,
                                            0,
                                            nullptr,
                                            nullptr,
                                            {nullptr, nullptr},
                                            kWindow};
  return program;
}

TEST_F(WindowManagerTest, AWindowWithoutATemplateCannotBeLoaded) {
  EXPECT_RUNTIME_ERROR(
      LoadWindow(0x52020003),
      "运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n\r\n1375862787, 0\r\n未找到所指定的窗口\r\n");
}

TEST(WindowManagerDeathTest, ClosingTheLastWindowEndsTheMessageLoop) {
  EXPECT_EXIT(
      {
        InstallWindowSystem();
        int rc = rt::RunApplication(TestProgram());
        std::fprintf(stderr, "loop-ended=%d;windows=%d;", rc, rt::ProgramWindowCount());
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "^owner=1;loop-ended=0;windows=0;$");
}

}  // namespace
}  // namespace ui
