// windows_start: the smallest Win32 window program, the yardstick for videolens.exe's start
// (scripts/bench_start_windows.sh). It links the same resources (manifest: common controls 6,
// per-monitor resolution awareness), so that the two differ only in the program's own work: one
// top-level window of the main window's size, shown at once, and a message loop until it closes.
#include <windows.h>

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  WNDCLASSEXW c{};
  c.cbSize = sizeof c;
  c.lpfnWndProc = WindowProc;
  c.hInstance = instance;
  c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  c.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  c.lpszClassName = L"BareWindow";
  if (RegisterClassExW(&c) == 0) return 1;
  HWND window = CreateWindowExW(0, L"BareWindow", L"bare window", WS_OVERLAPPEDWINDOW, 50, 50, 1211, 684,
                                nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  ShowWindow(window, show);
  UpdateWindow(window);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
