// The Qt backend of native views: a control's widget, its geometry, state, pointer and focus.
#include "ui/qt/native_view.h"

#include <QApplication>
#include <QPixmap>
#include <map>

#include "ui/window_manager.h"

namespace ui {
namespace {

// Standard pointer numbers of a 4-byte pointer block.
bool StandardCursor(uint32_t id, Qt::CursorShape* shape) {
  static const std::map<uint32_t, Qt::CursorShape> kShapes = {
      {32512, Qt::ArrowCursor},     {32513, Qt::IBeamCursor},     {32514, Qt::WaitCursor},
      {32515, Qt::CrossCursor},     {32516, Qt::UpArrowCursor},   {32642, Qt::SizeFDiagCursor},
      {32643, Qt::SizeBDiagCursor}, {32644, Qt::SizeHorCursor},   {32645, Qt::SizeVerCursor},
      {32646, Qt::SizeAllCursor},   {32648, Qt::ForbiddenCursor}, {32649, Qt::PointingHandCursor},
      {32650, Qt::BusyCursor},      {32651, Qt::WhatsThisCursor},
  };
  auto it = kShapes.find(id);
  if (it == kShapes.end()) return false;
  *shape = it->second;
  return true;
}

// A pointer block holds a standard pointer number (4 bytes) or the bytes of a pointer or
// picture file; anything else makes no pointer.
bool MakeCursor(std::string_view block, QCursor* out) {
  if (block.empty()) return false;
  if (block.size() == 4) {
    uint32_t id = static_cast<unsigned char>(block[0]) | static_cast<unsigned char>(block[1]) << 8 |
                  static_cast<unsigned char>(block[2]) << 16 |
                  static_cast<uint32_t>(static_cast<unsigned char>(block[3])) << 24;
    Qt::CursorShape shape;
    if (!StandardCursor(id, &shape)) return false;
    *out = QCursor(shape);
    return true;
  }
  QPixmap pixmap;
  if (!pixmap.loadFromData(reinterpret_cast<const uchar*>(block.data()), static_cast<uint>(block.size()))) {
    return false;
  }
  *out = QCursor(pixmap);
  return true;
}

// The outer size (frame included) of a top-level widget.
void SetOuterSize(QWidget* frame, int width, int height) {
  const QRect outer = frame->frameGeometry();
  const QRect inner = frame->geometry();
  frame->resize(std::max(0, width - (outer.width() - inner.width())),
                std::max(0, height - (outer.height() - inner.height())));
}

}  // namespace

void NativeViewDeleter::operator()(NativeView* view) const { delete view; }

// ---- Control's view --------------------------------------------------------------------

Control::Control(int32_t windowId, int32_t unitId) : windowId_(windowId), unitId_(unitId) {}

Control::~Control() {
  if (QWidget* w = WidgetOf(view_.get())) {
    view_.reset();
    delete w;
  }
}

NativeView* Control::view() const { return view_ && view_->widget() ? view_.get() : nullptr; }
void Control::releaseView() { view_.reset(); }
void Control::setView(NativeViewPtr view) { view_ = std::move(view); }

QWidget* WidgetOf(const Control* control) { return control ? WidgetOf(control->view()) : nullptr; }

const QCursor* UnitCursor(int32_t windowId, int32_t unitId) {
  Control* c = FindLiveControl(windowId, unitId);
  NativeView* view = c ? c->view() : nullptr;
  return view && view->cursor ? &*view->cursor : nullptr;
}

// ---- The shared logic's calls ----------------------------------------------------------

NativeViewPtr CreateBlankView(NativeView* parent) {
  auto* w = new QWidget(WidgetOf(parent));  // owned by the parent widget and by its control
  w->setAutoFillBackground(false);
  return ViewOf(w);
}

ViewRect ViewGeometry(const NativeView& view) {
  QWidget* w = view.widget();
  if (w == nullptr) return {};
  const QRect r = w->isWindow() ? w->frameGeometry() : w->geometry();
  return {r.x(), r.y(), r.width(), r.height()};
}

void SetViewGeometry(NativeView& view, const ViewRect& rect) {
  QWidget* w = view.widget();
  if (w == nullptr) return;
  if (w->isWindow()) {
    w->move(rect.x, rect.y);
    SetOuterSize(w, rect.width, rect.height);
  } else {
    w->setGeometry(rect.x, rect.y, rect.width, rect.height);
  }
}

bool IsViewHidden(const NativeView& view) { return view.widget() == nullptr || view.widget()->isHidden(); }
void SetViewVisible(NativeView& view, bool visible) {
  if (QWidget* w = view.widget()) w->setVisible(visible);
}
bool IsViewDisabled(const NativeView& view) {
  return view.widget() && view.widget()->testAttribute(Qt::WA_ForceDisabled);
}
void SetViewEnabled(NativeView& view, bool enabled) {
  if (QWidget* w = view.widget()) w->setEnabled(enabled);
}

bool SetViewCursor(NativeView& view, std::string_view pointerBlock) {
  QWidget* w = view.widget();
  QCursor cursor;
  if (w && MakeCursor(pointerBlock, &cursor)) {
    view.cursor = cursor;
    w->setCursor(cursor);
    return true;
  }
  view.cursor.reset();
  if (w) w->unsetCursor();
  return false;
}

void StackAndChain(NativeView& view, NativeView* previous) {
  QWidget* w = view.widget();
  if (w == nullptr) return;
  w->lower();  // each control lies below the ones before it
  if (QWidget* p = WidgetOf(previous)) QWidget::setTabOrder(p, w);
}

std::function<void()> KeepFocus(NativeView& view, std::vector<NativeView*> tabOrder) {
  QPointer<QWidget> frame = view.widget();
  QPointer<QWidget> focused;
  if (frame) {
    QWidget* w = QApplication::focusWidget();
    if (w == nullptr || w->window() != frame) w = frame->focusWidget();
    if (w != frame.data()) focused = w;
  }
  std::vector<QPointer<QWidget>> order;
  for (NativeView* v : tabOrder) order.emplace_back(WidgetOf(v));
  return [frame, focused, order] {
    if (!frame) return;
    if (focused) {
      focused->setFocus();
      return;
    }
    for (const QPointer<QWidget>& w : order) {
      if (w && w != frame && (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(frame) && w->isEnabled()) {
        w->setFocus();
        return;
      }
    }
  };
}

void DestroyNativeObject(NativeView& view) { delete view.widget(); }

}  // namespace ui
