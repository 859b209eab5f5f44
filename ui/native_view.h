// A control's native object as the shared window logic handles it: position and size,
// visibility, enabled state, mouse pointer, stacking and tab order, focus. NativeView is
// defined by each backend (ui/qt/: the toolkit's widget; ui/win/: a window handle); the
// functions below are the whole of what the window table and the property access ask of it.
//
// Ownership: a NativeView belongs to its Control (control.h); the native object it names
// belongs to its parent's native object and is destroyed with the Control.
// Thread contract: GUI thread only. REQUIRES: every view passed is non-null.
#ifndef UI_NATIVE_VIEW_H_
#define UI_NATIVE_VIEW_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace ui {

class NativeView;
// Deletes the view (not its native object); defined by the backend, where NativeView is.
struct NativeViewDeleter {
  void operator()(NativeView* view) const;
};
using NativeViewPtr = std::unique_ptr<NativeView, NativeViewDeleter>;

struct ViewRect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// A blank child of `parent`, for units without a registered type.
NativeViewPtr CreateBlankView(NativeView* parent);

// A child's rectangle in its parent's client area; a top-level window's outer rectangle
// (frame included) on the screen.
ViewRect ViewGeometry(const NativeView& view);
void SetViewGeometry(NativeView& view, const ViewRect& rect);

// Hidden by its own state (a shown child of a hidden window is not hidden).
bool IsViewHidden(const NativeView& view);
void SetViewVisible(NativeView& view, bool visible);
// Disabled by its own state.
bool IsViewDisabled(const NativeView& view);
void SetViewEnabled(NativeView& view, bool enabled);

// Sets the mouse pointer a pointer block describes (a standard pointer number in 4 bytes, or
// the bytes of a pointer or picture file); false, with the default pointer, for a block that
// makes none.
bool SetViewCursor(NativeView& view, std::string_view pointerBlock);

// Stacks the view below its siblings and puts it after `previous` in the tab order (null:
// first).
void StackAndChain(NativeView& view, NativeView* previous);

// The control of `frame` that holds the focus now (or would get it when the window is
// activated) is remembered; the returned function gives it the focus back, or else gives it
// to the first of `tabOrder` that takes the focus and is visible and enabled.
std::function<void()> KeepFocus(NativeView& frame, std::vector<NativeView*> tabOrder);

// Destroys the native object now (the view then reads as gone).
void DestroyNativeObject(NativeView& view);

}  // namespace ui

#endif  // UI_NATIVE_VIEW_H_
