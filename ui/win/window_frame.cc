// The Win32 backend's frames: a top-level window class whose procedure reports to the frame
// hooks and hands its children's notifications to them; the program's font and window classes.
#include "ui/window_frame.h"

#include "platform/event_loop.h"
#include "platform/win/message_window.h"
#include "ui/win/native_view.h"
#include "ui/win/window_frame.h"

namespace ui {
namespace {

constexpr wchar_t kFrameClass[] = L"VideolensWindow";

// What a frame keeps beside its window: its hooks. Deleted when the window is gone.
struct FrameData {
  FrameHooks hooks;
};

FrameData* DataOf(HWND hwnd) {
  return reinterpret_cast<FrameData*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = 0;
  if (ForwardToChild(hwnd, message, wparam, lparam, &result)) return result;
  FrameData* data = DataOf(hwnd);
  switch (message) {
    case WM_CLOSE:
      // A refused close keeps the window; an accepted one hides it until the window table
      // destroys it (at once, or once its running routines have returned).
      if (data && data->hooks.closeRequested && !data->hooks.closeRequested()) return 0;
      ::ShowWindow(hwnd, SW_HIDE);
      if (data == nullptr || !data->hooks.closeRequested) ::DestroyWindow(hwnd);
      return 0;
    case WM_MOVE:
      if (data && data->hooks.moved) data->hooks.moved();
      break;
    case WM_SIZE:
      if (data && data->hooks.resized) data->hooks.resized();
      break;
    case WM_DESTROY:
      if (data) {
        FrameHooks hooks = std::move(data->hooks);
        data->hooks = FrameHooks();
        if (hooks.destroyed) hooks.destroyed();
      }
      return 0;
    case WM_NCDESTROY:
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      delete data;
      break;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, message, wparam, lparam);
}

// Tab, arrow and mnemonic keys move the focus among a program window's controls.
bool DialogKeys(MSG* msg) {
  if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST || msg->hwnd == nullptr) return false;
  HWND root = ::GetAncestor(msg->hwnd, GA_ROOT);
  return root && IsFrameWindow(root) && ::IsDialogMessageW(root, msg);
}

}  // namespace

bool IsFrameWindow(HWND hwnd) {
  wchar_t name[64] = {};
  return ::GetClassNameW(hwnd, name, 64) > 0 && std::wstring_view(name) == kFrameClass;
}

HWND CreateFrameWindow(std::string_view caption) {
  InitWindowClasses();
  HWND hwnd = ::CreateWindowExW(WS_EX_CONTROLPARENT, kFrameClass, WideText(caption).c_str(),
                                WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, 100, 100,
                                nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  if (hwnd) ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new FrameData()));
  return hwnd;
}

void InitWindowClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  // Template geometry is scaled by the program itself: the system must not scale its windows
  // again. The manifest says so too where there is one; systems before Windows 10 1703 have
  // only the older call.
  using AwarenessContext = BOOL(WINAPI*)(HANDLE);
  HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  const auto setContext = reinterpret_cast<AwarenessContext>(
      reinterpret_cast<void*>(::GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
  if (setContext == nullptr || !setContext(reinterpret_cast<HANDLE>(-4))) ::SetProcessDPIAware();
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
  ::InitCommonControlsEx(&controls);
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = FrameProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kFrameClass;
  ::RegisterClassExW(&wc);
  platform::win::SetMessageFilter(DialogKeys);
}

bool AttachFrame(NativeView& view, FrameHooks hooks) {
  HWND hwnd = view.hwnd();
  FrameData* data = hwnd && IsFrameWindow(hwnd) ? DataOf(hwnd) : nullptr;
  if (data == nullptr) return false;
  data->hooks = std::move(hooks);
  return true;
}

void ActivateFrame(NativeView& view) {
  HWND hwnd = view.hwnd();
  if (hwnd == nullptr) return;
  if (::IsIconic(hwnd)) {
    ::ShowWindow(hwnd, SW_RESTORE);
  } else {
    ::BringWindowToTop(hwnd);
    ::SetForegroundWindow(hwnd);
  }
}

void PostToFrame(NativeView& view, std::function<void()> task) {
  HWND hwnd = view.hwnd();
  if (hwnd == nullptr) return;
  platform::PostToGuiThread([hwnd, task = std::move(task)] {
    if (::IsWindow(hwnd)) task();
  });
}

HFONT ProgramFont(int dpi) {
  // One font per DPI for the whole run.
  static std::vector<std::pair<int, HFONT>> fonts;
  for (auto& [d, f] : fonts) {
    if (d == dpi) return f;
  }
  HFONT font = nullptr;
  for (const wchar_t* face : {L"Microsoft YaHei UI", L"SimSun"}) {
    LOGFONTW lf = {};
    lf.lfHeight = -::MulDiv(9, dpi, 72);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = CLEARTYPE_QUALITY;
    wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    HFONT candidate = ::CreateFontIndirectW(&lf);
    // The system substitutes a font it lacks: keep it only when the face is the one asked for.
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, candidate);
    wchar_t got[LF_FACESIZE] = {};
    ::GetTextFaceW(dc, LF_FACESIZE, got);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    if (std::wstring_view(got) == face) {
      font = candidate;
      break;
    }
    ::DeleteObject(candidate);
  }
  if (font == nullptr) {
    // The system's own message font (under Wine: whatever the installed packages provide).
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
      metrics.lfMessageFont.lfHeight = -::MulDiv(9, dpi, 72);
      font = ::CreateFontIndirectW(&metrics.lfMessageFont);
    }
    if (font == nullptr) font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  }
  fonts.emplace_back(dpi, font);
  return font;
}

}  // namespace ui
