// The runtime pieces the window layer needs in a test process (the callback libraries raise
// events through, the hidden owner window) around the test window (test_window_data.h).
#ifndef TESTS_UI_UI_TEST_SUPPORT_H_
#define TESTS_UI_UI_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <QApplication>
#include <functional>
#include <string>
#include <vector>

#include "platform/event_loop.h"
#include "runtime/application.h"
#include "runtime/libraries.h"
#include "tests/ui/test_window_data.h"
#include "ui/kernel_controls.h"
#include "ui/qt/native_view.h"
#include "ui/template_writer.h"
#include "ui/window_manager.h"

namespace ui_test {

// Installs the window system and the pieces of a started runtime the window layer uses,
// then loads the test templates. Each test starts with no live window and no hooks.
class UiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::InstallWindowSystem();
    rt::KernelLibrary().notify(rt::kLibraryNotifyStart, reinterpret_cast<intptr_t>(&rt::NotifyRuntime), 0);
    if (platform::HiddenOwner() == nullptr) platform::CreateHiddenOwner(nullptr);
    for (auto& h : g_hooks) h = nullptr;
    const auto& bytes = TestWindowBytes();
    ui::LoadTemplates(bytes.data(), bytes.size(), kRoutines, kRoutineCount);
  }
  void TearDown() override {
    ui::DestroyWindow(kWindow);
    ui::DestroyWindow(kOtherWindow);
    QApplication::processEvents();
    for (auto& h : g_hooks) h = nullptr;
  }
  static QWidget* WidgetOf(int32_t unit, int32_t window = kWindow) {
    ui::Control* c = ui::FindLiveControl(window, unit);
    return c ? ui::WidgetOf(c) : nullptr;
  }
};

// Texts read from properties are blocks the caller owns.
inline std::string TakeText(int64_t value) {
  rt::Text t = rt::Text::Adopt(reinterpret_cast<char*>(static_cast<intptr_t>(value)));
  return t.str();
}
inline int64_t TextValue(const char* text) { return static_cast<int64_t>(reinterpret_cast<intptr_t>(text)); }

}  // namespace ui_test

#endif  // TESTS_UI_UI_TEST_SUPPORT_H_
