// The window system over Win32 in a test process: the test templates loaded, the callback
// events go through, and the window handles of the live units.
#ifndef TESTS_UI_WIN_WIN_WINDOW_FIXTURE_H_
#define TESTS_UI_WIN_WIN_WINDOW_FIXTURE_H_

#include <gtest/gtest.h>

#include "platform/event_loop.h"
#include "runtime/application.h"
#include "runtime/libraries.h"
#include "tests/ui/test_window_data.h"
#include "ui/win/native_view.h"
#include "ui/window_manager.h"

namespace ui_test {

class WinWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::InstallWindowSystem();
    rt::KernelLibrary().notify(rt::kLibraryNotifyStart, reinterpret_cast<intptr_t>(&rt::NotifyRuntime), 0);
    for (auto& h : g_hooks) h = nullptr;
    const std::vector<unsigned char> bytes = ui::SerializeWindowData(Data());
    ui::LoadTemplates(bytes.data(), bytes.size(), kRoutines, kRoutineCount);
  }
  void TearDown() override {
    for (const ui::WindowTemplate& w : Data().windows) ui::DestroyWindow(w.id);
    platform::ProcessPendingEvents();
    for (auto& h : g_hooks) h = nullptr;
  }
  // The templates the test loads.
  virtual ui::WindowData Data() { return TestWindowData(); }

  static HWND Hwnd(int32_t unit, int32_t window = kWindow) {
    return ui::HwndOf(ui::FindLiveControl(window, unit));
  }
  static std::wstring TextOf(HWND hwnd) {
    wchar_t text[256] = {};
    ::GetWindowTextW(hwnd, text, 256);
    return text;
  }
  // A child's rectangle in its parent's client area, in pixels.
  static RECT ChildRect(HWND hwnd) {
    RECT r;
    ::GetWindowRect(hwnd, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
};

// Texts read from properties are blocks the caller owns.
inline std::string TakeText(int64_t value) {
  rt::Text t = rt::Text::Adopt(reinterpret_cast<char*>(static_cast<intptr_t>(value)));
  return t.str();
}
inline int64_t TextValue(const char* text) { return static_cast<int64_t>(reinterpret_cast<intptr_t>(text)); }

}  // namespace ui_test

#endif  // TESTS_UI_WIN_WIN_WINDOW_FIXTURE_H_
