// The Qt backend's NativeView: a guarded pointer to a control's widget and the mouse pointer
// set on it; and the ways from the shared window logic to the widgets.
//
// Ownership: the view does not own the widget; its Control deletes it (native_view.cc).
// Thread contract: GUI thread only.
#ifndef UI_QT_NATIVE_VIEW_H_
#define UI_QT_NATIVE_VIEW_H_

#include <QCursor>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>

#include "runtime/values.h"
#include "ui/control.h"
#include "ui/control_args.h"
#include "ui/native_view.h"

namespace ui {

class NativeView {
 public:
  explicit NativeView(QWidget* widget) : widget_(widget) {}
  // Null once the widget is gone.
  QWidget* widget() const { return widget_; }

  // The pointer made from the unit's pointer block, if it made one.
  std::optional<QCursor> cursor;

 private:
  QPointer<QWidget> widget_;
};

inline NativeViewPtr ViewOf(QWidget* widget) { return NativeViewPtr(new NativeView(widget)); }
// The control's widget, or null.
QWidget* WidgetOf(const Control* control);
inline QWidget* WidgetOf(const NativeView* view) { return view ? view->widget() : nullptr; }

// The mouse pointer made from a live unit's pointer block, or null.
const QCursor* UnitCursor(int32_t windowId, int32_t unitId);

// The widget of class W of the control a library command received as argument `index`; the
// same reports as ControlArgOf (control_args.h), and a widget of another class is reported
// missing.
template <typename W>
W* WidgetArgOf(const rt::ArgRecord* args, int32_t count, int32_t index, rt::TypeCode type) {
  auto* typed = dynamic_cast<W*>(WidgetOf(ControlArgOf(args, count, index, type)));
  if (typed == nullptr) ReportMissingControl(args[index].i32(), args[index].i32Hi());
  return typed;
}

}  // namespace ui

#endif  // UI_QT_NATIVE_VIEW_H_
