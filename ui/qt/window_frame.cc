#include "ui/qt/window_frame.h"

#include <QCloseEvent>
#include <QPointer>
#include <QTimer>

#include "platform/event_loop.h"
#include "ui/qt/native_view.h"
#include "ui/window_manager.h"

namespace ui {

WindowFrame::WindowFrame() : QWidget(nullptr, Qt::Window) {}

WindowFrame::~WindowFrame() {
  FrameHooks hooks = std::move(hooks_);
  hooks_ = FrameHooks();
  if (hooks.destroyed) hooks.destroyed();
}

void WindowFrame::closeEvent(QCloseEvent* event) {
  if (hooks_.closeRequested && !hooks_.closeRequested()) {
    event->ignore();
    return;
  }
  event->accept();
}

void WindowFrame::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  if (hooks_.moved) hooks_.moved();
}

void WindowFrame::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (hooks_.resized) hooks_.resized();
}

WindowFrame* FrameWidgetOf(int32_t windowId) {
  NativeView* view = FrameOf(windowId);
  return view ? dynamic_cast<WindowFrame*>(view->widget()) : nullptr;
}

bool AttachFrame(NativeView& view, FrameHooks hooks) {
  auto* frame = dynamic_cast<WindowFrame*>(view.widget());
  if (frame == nullptr) return false;
  if (QWidget* owner = platform::HiddenOwner()) frame->setParent(owner, Qt::Window);
  frame->setHooks(std::move(hooks));
  return true;
}

void ActivateFrame(NativeView& view) {
  QWidget* frame = view.widget();
  if (frame == nullptr) return;
  if (frame->isMinimized()) {
    frame->showNormal();
  } else {
    frame->raise();
    frame->activateWindow();
  }
}

void PostToFrame(NativeView& view, std::function<void()> task) {
  QWidget* frame = view.widget();
  if (frame == nullptr) return;
  QMetaObject::invokeMethod(frame, std::move(task), Qt::QueuedConnection);
}

}  // namespace ui
