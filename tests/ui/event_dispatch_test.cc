#include "ui/event_dispatch.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>
#include <cstdio>

#include "platform/event_loop.h"
#include "runtime/errors.h"
#include "runtime/helper_interface.h"
#include "tests/support/expect_runtime_error.h"
#include "tests/ui/ui_test_support.h"
#include "ui/qt/window_frame.h"

namespace ui {
namespace {

using namespace ui_test;

class EventDispatchTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    LoadWindow(kWindow);
  }
  static void Click(int32_t unit) { QTest::mouseClick(WidgetOf(unit), Qt::LeftButton); }
};

TEST_F(EventDispatchTest, ARealClickRunsTheBoundRoutineOnceWithItsSource) {
  std::vector<int32_t> sources;
  g_hooks[kOnClick] = [&](int32_t count, const int64_t*, int32_t*) {
    EXPECT_EQ(count, 0);
    EXPECT_EQ(CurrentEventSource().windowId, kWindow);
    sources.push_back(CurrentEventSource().unitId);
    return 0;
  };
  Click(kButton);
  EXPECT_EQ(sources, std::vector<int32_t>{kButton});
  EXPECT_EQ(CurrentEventSource().windowId, 0);  // cleared after the routine
  // A linked unit uses its link's bindings; the source stays the unit that raised the event.
  Click(kLinkedButton);
  EXPECT_EQ(sources, (std::vector<int32_t>{kButton, kLinkedButton}));
}

TEST_F(EventDispatchTest, EventsWithoutARoutineAreIgnored) {
  for (auto& h : g_hooks) {
    h = [](int32_t, const int64_t*, int32_t*) -> int64_t {
      ADD_FAILURE() << "no routine should run";
      return 0;
    };
  }
  Click(kButtonMinusOne);                               // bound to -1
  QTest::keyClicks(WidgetOf(kEdit), "xy");              // content changed, no binding
  EXPECT_FALSE(RaiseEvent(kWindow, kButton, 7).given);  // no binding for event 7
  Click(kCycleB);  // B links to A, A back to B: stops at A, which has no binding
}

TEST_F(EventDispatchTest, ALinkCycleStopsAtTheFirstUnitAlreadyVisited) {
  int runs = 0;
  g_hooks[kOnCycle] = [&](int32_t, const int64_t*, int32_t*) { return ++runs, 0; };
  Click(kCycleA);  // A -> B (bound); B's link back to A is not followed
  EXPECT_EQ(runs, 1);
}

TEST_F(EventDispatchTest, ArgumentsArriveInOrderAndAGivenResultComesBack) {
  g_hooks[kOnClick] = [](int32_t count, const int64_t* args, int32_t* given) -> int64_t {
    EXPECT_EQ(count, 3);
    EXPECT_EQ(args[0], 1);
    EXPECT_EQ(args[1], -2);
    EXPECT_EQ(args[2], 300000);
    *given = 1;
    return 0;
  };
  EventResult r = RaiseEvent(kWindow, kButton, 0, {1, -2, 300000});
  EXPECT_TRUE(r.given);
  EXPECT_EQ(r.value, 0);

  static const char* const kText = "文本";
  g_hooks[kOnClick] = [](int32_t count, const int64_t* args, int32_t* given) -> int64_t {
    EXPECT_EQ(count, 5);
    EXPECT_EQ(args[0], -5);
    EXPECT_EQ(reinterpret_cast<const char*>(static_cast<intptr_t>(args[1])), kText);
    double d;
    std::memcpy(&d, &args[2], sizeof d);
    EXPECT_EQ(d, 2.5);
    EXPECT_EQ(args[3], int64_t{1} << 40);
    EXPECT_EQ(args[4], 1);
    *given = 1;
    return int64_t{1} << 33;
  };
  r = RaiseEventLong(kWindow, kButton, 0,
                     {rt::IntArg(-5), rt::TextArg(kText), rt::DoubleArg(2.5), rt::LongArg(int64_t{1} << 40),
                      rt::BoolArg(true)});
  EXPECT_TRUE(r.given);
  EXPECT_EQ(r.value, int64_t{1} << 33);  // the long form keeps 8 bytes
  g_hooks[kOnClick] = [](int32_t, const int64_t*, int32_t*) -> int64_t { return 9; };
  EXPECT_FALSE(RaiseEvent(kWindow, kButton, 0).given);  // a routine without a result
}

TEST_F(EventDispatchTest, UnitZeroIsTheWindowsOwnUnit) {
  int runs = 0;
  g_hooks[kOnCreated] = [&](int32_t, const int64_t*, int32_t*) {
    EXPECT_EQ(CurrentEventSource().unitId, kWindowUnitId);
    return ++runs, 0;
  };
  RaiseEvent(kWindow, 0, 0);
  EXPECT_EQ(runs, 1);
}

TEST_F(EventDispatchTest, AMenuItemRunsItsOneRoutine) {
  WindowData d = TestWindowData();
  UnitRecord menu;
  menu.id = 0x16000100;
  menu.type = rt::kTypeMenuItem;
  menu.name = "菜单1";
  menu.menuRoutine = kOnOther;
  d.windows[0].units.push_back(menu);
  std::vector<unsigned char> bytes = SerializeWindowData(d);
  DestroyWindow(kWindow);
  LoadTemplates(bytes.data(), bytes.size(), kRoutines, kRoutineCount);
  LoadWindow(kWindow);
  int runs = 0;
  g_hooks[kOnOther] = [&](int32_t, const int64_t*, int32_t*) { return ++runs, 0; };
  RaiseEvent(kWindow, menu.id, 0);
  RaiseEvent(kWindow, menu.id, 1);  // a menu item binds only its selection
  EXPECT_EQ(runs, 1);
}

TEST_F(EventDispatchTest, ANestedDispatchRestoresTheOuterEventSource) {
  std::string log;
  g_hooks[kOnCycle] = [&](int32_t, const int64_t*, int32_t*) {
    log += "inner(" + std::to_string(CurrentEventSource().unitId == kCycleA) + ");";
    return 0;
  };
  g_hooks[kOnClick] = [&](int32_t, const int64_t*, int32_t*) {
    // A click waiting in the queue runs inside this routine when it processes messages.
    QMetaObject::invokeMethod(
        WidgetOf(kCycleA), [] { QTest::mouseClick(WidgetOf(kCycleA), Qt::LeftButton); },
        Qt::QueuedConnection);
    rt::ProcessEvents();
    EventSource s = CurrentEventSource();
    log += "outer(" + std::to_string(s.windowId == kWindow && s.unitId == kButton) + ");";
    return 0;
  };
  Click(kButton);
  EXPECT_EQ(log, "inner(1);outer(1);");
}

TEST_F(EventDispatchTest, AWindowClosedDuringItsRoutineLivesUntilTheRoutineReturns) {
  QPointer<WindowFrame> frame = FrameWidgetOf(kWindow);
  std::string caption;
  g_hooks[kOnClick] = [&](int32_t, const int64_t*, int32_t*) {
    QMetaObject::invokeMethod(
        frame, [&] { frame->close(); }, Qt::QueuedConnection);  // the user closes it
    rt::ProcessEvents();
    EXPECT_TRUE(IsWindowLive(kWindow));
    EXPECT_TRUE(IsWindowClosePending(kWindow));
    caption = TakeText(rt::Helpers().GetUnitProperty(kWindow, kWindowUnitId, 8, -1));
    rt::Helpers().SetUnitProperty(kWindow, kEdit, 8, -1, TextValue("仍在"));
    return 0;
  };
  Click(kButton);
  EXPECT_EQ(caption, "标题");
  QApplication::processEvents();
  EXPECT_TRUE(frame.isNull());
  EXPECT_FALSE(IsWindowLive(kWindow));
}

TEST_F(EventDispatchTest, UnknownWindowsUnitsAndInvalidUnitsEndTheProgram) {
  EXPECT_RUNTIME_ERROR(
      RaiseEvent(0x52FF0001, kButton, 0),
      "运行时出错!\r\n\r\n错误信息：未找到引发事件的窗口\r\n\r\n1392443393, 0\r\n未找到所指定的窗口\r\n");
  EXPECT_RUNTIME_ERROR(
      RaiseEvent(kWindow, 0x16000077, 0),
      "运行时出错!\r\n\r\n错误信息：未找到引发事件的窗口组件\r\n\r\n1375862785, 369098871\r\n"
      "\"测试窗口\"\r\n未找到所指定的窗口组件\r\n");
  EXPECT_RUNTIME_ERROR(RaiseEvent(kWindow, kUnregistered, 0),
                       "运行时出错!\r\n\r\n错误信息：引发事件的窗口组件无效\r\n\r\n1375862785, 369098759\r\n"
                       "\"测试窗口\"\r\n\"未知1\"\r\n");
}

TEST_F(EventDispatchTest, NoRoutineRunsWhileAnErrorIsReportedOrTheProgramEnds) {
  EXPECT_EXIT(
      {
        g_hooks[kOnClick] = [](int32_t, const int64_t*, int32_t*) -> int64_t {
          std::fprintf(stderr, "ROUTINE;");
          return 0;
        };
        platform::SetMessageBoxHook([](const std::string&, const std::string&) {
          QTest::mouseClick(WidgetOf(kButton), Qt::LeftButton);  // a click while the box is up
          std::fprintf(stderr, "BOX;");
        });
        rt::ReportRuntimeError("x", 0, 0, 0);
      },
      ::testing::ExitedWithCode(255), "^BOX;$");
  EXPECT_EXIT(
      {
        g_hooks[kOnClick] = [](int32_t, const int64_t*, int32_t*) -> int64_t {
          std::fprintf(stderr, "ROUTINE;");
          return 0;
        };
        rt::RunEndProcessing(0);  // templates and windows are gone; the event is dropped first
        RaiseEvent(kWindow, kButton, 0);
        std::fprintf(stderr, "ENDED;");
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "^ENDED;$");
}

TEST_F(EventDispatchTest, EventsReachingAWaitFollowTheSameRules) {
  int runs = 0;
  g_hooks[kOnClick] = [&](int32_t, const int64_t*, int32_t*) { return ++runs, 0; };
  QTimer::singleShot(5, [] { Click(kButton); });
  EXPECT_TRUE(platform::WaitHandlingEvents([&] { return runs > 0; }, 5000));  // runs inside the wait
  EXPECT_EQ(runs, 1);
  auto printRoutine = [](int32_t, const int64_t*, int32_t*) -> int64_t {
    std::fprintf(stderr, "ROUTINE;");
    return 0;
  };
  EXPECT_EXIT(
      {
        g_hooks[kOnClick] = printRoutine;
        platform::SetMessageBoxHook([](const std::string&, const std::string&) {
          QTimer::singleShot(5, [] { Click(kButton); });  // a click while the box is up
          platform::WaitHandlingEvents([] { return false; }, 50);
          std::fprintf(stderr, "BOX;");
        });
        rt::ReportRuntimeError("x", 0, 0, 0);
      },
      ::testing::ExitedWithCode(255), "^BOX;$");
  EXPECT_EXIT(
      {
        g_hooks[kOnClick] = printRoutine;
        rt::RegisterExitRoutine([](int32_t, const int64_t*, int32_t*) -> int64_t {
          QTimer::singleShot(5, [] { RaiseEvent(kWindow, kButton, 0); });
          platform::WaitHandlingEvents([] { return false; }, 50);
          std::fprintf(stderr, "EXIT-ROUTINE;");
          return 0;
        });
        rt::EndProgram(0);
      },
      ::testing::ExitedWithCode(0), "^EXIT-ROUTINE;$");
}

}  // namespace
}  // namespace ui
