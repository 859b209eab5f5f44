// The Win32 backend's NativeView: the window handle of a control, and what the backend's
// controls share: the text edge (code page 936 inside, UTF-16 at the system), the program's
// font, DPI scaling of template geometry, and the messages a frame hands to its children.
// Included by ui/win/ only: it brings in <windows.h>.
//
// Ownership: the view does not own the window; its Control destroys it (native_view.cc).
// Thread contract: GUI thread only.
#ifndef UI_WIN_NATIVE_VIEW_H_
#define UI_WIN_NATIVE_VIEW_H_

// <windows.h> comes before the headers that build on it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <string>
#include <string_view>

#include "ui/control.h"
#include "ui/native_view.h"

namespace ui {

class NativeView {
 public:
  explicit NativeView(HWND hwnd) : hwnd_(hwnd) {}
  // Null once the window is destroyed.
  HWND hwnd() const { return hwnd_ && ::IsWindow(hwnd_) ? hwnd_ : nullptr; }

  // The standard pointer the unit's pointer block names, if it names one (shared, never
  // destroyed).
  HCURSOR cursor = nullptr;
  ~NativeView();

 private:
  HWND hwnd_;
};

inline NativeViewPtr ViewOf(HWND hwnd) { return NativeViewPtr(new NativeView(hwnd)); }
inline HWND HwndOf(const NativeView* view) { return view ? view->hwnd() : nullptr; }
HWND HwndOf(const Control* control);

// ---- The text edge -----------------------------------------------------------------------
std::wstring WideText(std::string_view gbk);
std::string NarrowText(std::wstring_view text);
// The window's text in code page 936.
std::string WindowText(HWND hwnd);
void SetWindowTextGbk(HWND hwnd, std::string_view gbk);

// ---- Look --------------------------------------------------------------------------------
// The dots per inch of the window's screen (96 when the system cannot say).
int DpiOf(HWND hwnd);
// Template units (96 DPI) to pixels at `dpi`, and back.
int ToPixels(int units, int dpi);
int ToUnits(int pixels, int dpi);
// The program's font at `dpi`: "Microsoft YaHei UI", else "SimSun", else the system's GUI font.
// The font lives until the process ends.
HFONT ProgramFont(int dpi);
// Registers the window classes and the common controls (version 6 where the manifest asks).
void InitWindowClasses();

// ---- Messages a frame hands to its children ----------------------------------------------
// A child control's handler of the notifications its parent receives for it: WM_COMMAND (its
// code), WM_NOTIFY, WM_CONTEXTMENU (screen point; -1, -1 from the keyboard) and WM_CTLCOLOR*.
class ChildHandler {
 public:
  virtual ~ChildHandler() = default;
  virtual void OnCommand(WORD /*code*/) {}
  virtual bool OnNotify(const NMHDR& /*header*/, LRESULT* /*result*/) { return false; }
  virtual bool OnContextMenu(int /*x*/, int /*y*/) { return false; }
  virtual HBRUSH OnColour(HDC /*dc*/) { return nullptr; }
};
// Ties `handler` to a child window (null unties it); the frame looks it up for each message.
void SetChildHandler(HWND child, ChildHandler* handler);
ChildHandler* ChildHandlerOf(HWND child);
// What a frame's and a container's window procedure does with those messages: true (and
// *result) when a child handled it.
bool ForwardToChild(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result);

}  // namespace ui

#endif  // UI_WIN_NATIVE_VIEW_H_
