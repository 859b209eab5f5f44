// The Win32 backend of native views: window handles, their geometry in template units, state,
// pointer and focus; the text edge, the font and the children's notifications.
#include "ui/win/native_view.h"

#include "platform/codepage.h"
#include "ui/window_manager.h"

namespace ui {
namespace {

constexpr UINT kCodePage = 936;
constexpr wchar_t kHandlerProperty[] = L"VideolensChildHandler";
constexpr wchar_t kCursorProperty[] = L"VideolensCursor";

bool IsTopLevel(HWND hwnd) { return (::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) == 0; }

// A 4-byte pointer block names a standard pointer; the numbers are the system's own.
HCURSOR StandardCursor(std::string_view block) {
  if (block.size() != 4) return nullptr;
  const uint32_t id = static_cast<unsigned char>(block[0]) | static_cast<unsigned char>(block[1]) << 8 |
                      static_cast<unsigned char>(block[2]) << 16 |
                      static_cast<uint32_t>(static_cast<unsigned char>(block[3])) << 24;
  static const uint32_t kKnown[] = {32512, 32513, 32514, 32515, 32516, 32642, 32643,
                                    32644, 32645, 32646, 32648, 32649, 32650, 32651};
  for (uint32_t known : kKnown) {
    if (id == known) return ::LoadCursorW(nullptr, MAKEINTRESOURCEW(id));
  }
  return nullptr;
}

}  // namespace

NativeView::~NativeView() {
  if (HWND h = hwnd()) ::RemovePropW(h, kCursorProperty);
}

void NativeViewDeleter::operator()(NativeView* view) const { delete view; }

// ---- Control's view --------------------------------------------------------------------

Control::Control(int32_t windowId, int32_t unitId) : windowId_(windowId), unitId_(unitId) {}

Control::~Control() {
  if (HWND h = HwndOf(view_.get())) {
    view_.reset();
    ::DestroyWindow(h);
  }
}

NativeView* Control::view() const { return view_ && view_->hwnd() ? view_.get() : nullptr; }
void Control::releaseView() { view_.reset(); }
void Control::setView(NativeViewPtr view) { view_ = std::move(view); }

HWND HwndOf(const Control* control) { return control ? HwndOf(control->view()) : nullptr; }

// ---- The text edge ---------------------------------------------------------------------

std::wstring WideText(std::string_view gbk) {
  const std::u16string wide = platform::ToUtf16(kCodePage, gbk);
  return std::wstring(wide.begin(), wide.end());
}

std::string NarrowText(std::wstring_view text) {
  return platform::FromUtf16(
      kCodePage, std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

std::string WindowText(HWND hwnd) {
  const int length = ::GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = ::GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  return NarrowText(text);
}

void SetWindowTextGbk(HWND hwnd, std::string_view gbk) { ::SetWindowTextW(hwnd, WideText(gbk).c_str()); }

// ---- Look ------------------------------------------------------------------------------

int DpiOf(HWND hwnd) {
  // GetDpiForWindow exists from Windows 10 1607 on; older systems give the screen's.
  using DpiForWindow = UINT(WINAPI*)(HWND);
  static const auto forWindow = reinterpret_cast<DpiForWindow>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (forWindow && hwnd) {
    if (UINT dpi = forWindow(hwnd)) return static_cast<int>(dpi);
  }
  HDC dc = ::GetDC(nullptr);
  const int dpi = dc ? ::GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc) ::ReleaseDC(nullptr, dc);
  return dpi > 0 ? dpi : 96;
}

int ToPixels(int units, int dpi) { return ::MulDiv(units, dpi, 96); }
int ToUnits(int pixels, int dpi) { return ::MulDiv(pixels, 96, dpi); }

// ---- The shared logic's calls ----------------------------------------------------------

NativeViewPtr CreateBlankView(NativeView* parent) {
  HWND hwnd = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 0, 0, HwndOf(parent), nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
  return ViewOf(hwnd);
}

ViewRect ViewGeometry(const NativeView& view) {
  HWND h = view.hwnd();
  if (h == nullptr) return {};
  RECT r;
  ::GetWindowRect(h, &r);
  if (!IsTopLevel(h)) ::MapWindowPoints(HWND_DESKTOP, ::GetParent(h), reinterpret_cast<POINT*>(&r), 2);
  const int dpi = DpiOf(h);
  return {ToUnits(r.left, dpi), ToUnits(r.top, dpi), ToUnits(r.right - r.left, dpi),
          ToUnits(r.bottom - r.top, dpi)};
}

void SetViewGeometry(NativeView& view, const ViewRect& rect) {
  HWND h = view.hwnd();
  if (h == nullptr) return;
  const int dpi = DpiOf(h);
  ::SetWindowPos(h, nullptr, ToPixels(rect.x, dpi), ToPixels(rect.y, dpi),
                 ToPixels(std::max(rect.width, 0), dpi), ToPixels(std::max(rect.height, 0), dpi),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

bool IsViewHidden(const NativeView& view) {
  HWND h = view.hwnd();
  return h == nullptr || (::GetWindowLongPtrW(h, GWL_STYLE) & WS_VISIBLE) == 0;
}

void SetViewVisible(NativeView& view, bool visible) {
  HWND h = view.hwnd();
  if (h == nullptr) return;
  if (!visible) {
    ::ShowWindow(h, SW_HIDE);
  } else {
    ::ShowWindow(h, IsTopLevel(h) ? SW_SHOW : SW_SHOWNA);
  }
}

bool IsViewDisabled(const NativeView& view) {
  HWND h = view.hwnd();
  return h && (::GetWindowLongPtrW(h, GWL_STYLE) & WS_DISABLED) != 0;
}

void SetViewEnabled(NativeView& view, bool enabled) {
  if (HWND h = view.hwnd()) ::EnableWindow(h, enabled ? TRUE : FALSE);
}

// Pointer and picture files would need a file of their own for the system to read them: only
// the standard pointers are made here, anything else keeps the default pointer.
bool SetViewCursor(NativeView& view, std::string_view pointerBlock) {
  HWND h = view.hwnd();
  view.cursor = h ? StandardCursor(pointerBlock) : nullptr;
  if (h == nullptr) return false;
  if (view.cursor) {
    ::SetPropW(h, kCursorProperty, view.cursor);
  } else {
    ::RemovePropW(h, kCursorProperty);
  }
  return view.cursor != nullptr;
}

// Z order is the tab order for the dialog manager: each control goes below the ones before.
void StackAndChain(NativeView& view, NativeView*) {
  if (HWND h = view.hwnd()) {
    ::SetWindowPos(h, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

std::function<void()> KeepFocus(NativeView& view, std::vector<NativeView*> tabOrder) {
  HWND frame = view.hwnd();
  HWND focused = ::GetFocus();
  if (frame == nullptr || focused == nullptr || !::IsChild(frame, focused)) focused = nullptr;
  std::vector<HWND> order;
  for (NativeView* v : tabOrder) order.push_back(HwndOf(v));
  return [frame, focused, order] {
    if (!::IsWindow(frame)) return;
    if (focused && ::IsWindow(focused)) {
      ::SetFocus(focused);
      return;
    }
    for (HWND h : order) {
      const LONG_PTR style = h && ::IsWindow(h) ? ::GetWindowLongPtrW(h, GWL_STYLE) : 0;
      if ((style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED)) {
        ::SetFocus(h);
        return;
      }
    }
  };
}

void DestroyNativeObject(NativeView& view) {
  if (HWND h = view.hwnd()) ::DestroyWindow(h);
}

// ---- Children's notifications ----------------------------------------------------------

void SetChildHandler(HWND child, ChildHandler* handler) {
  if (handler) {
    ::SetPropW(child, kHandlerProperty, handler);
  } else {
    ::RemovePropW(child, kHandlerProperty);
  }
}

ChildHandler* ChildHandlerOf(HWND child) {
  return child ? static_cast<ChildHandler*>(::GetPropW(child, kHandlerProperty)) : nullptr;
}

bool ForwardToChild(HWND, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  switch (message) {
    case WM_COMMAND:
      if (ChildHandler* h = ChildHandlerOf(reinterpret_cast<HWND>(lparam))) {
        h->OnCommand(HIWORD(wparam));
        *result = 0;
        return true;
      }
      return false;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      ChildHandler* h = ChildHandlerOf(header->hwndFrom);
      return h && h->OnNotify(*header, result);
    }
    case WM_CONTEXTMENU: {
      ChildHandler* h = ChildHandlerOf(reinterpret_cast<HWND>(wparam));
      if (h && h->OnContextMenu(static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam)))) {
        *result = 0;
        return true;
      }
      return false;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      if (ChildHandler* h = ChildHandlerOf(reinterpret_cast<HWND>(lparam))) {
        if (HBRUSH brush = h->OnColour(reinterpret_cast<HDC>(wparam))) {
          *result = reinterpret_cast<LRESULT>(brush);
          return true;
        }
      }
      return false;
    case WM_SETCURSOR:
      if (HCURSOR cursor =
              static_cast<HCURSOR>(::GetPropW(reinterpret_cast<HWND>(wparam), kCursorProperty))) {
        ::SetCursor(cursor);
        *result = TRUE;
        return true;
      }
      return false;
    default:
      return false;
  }
}

}  // namespace ui
