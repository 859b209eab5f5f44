#include "ui/window_frame.h"

#include <QCloseEvent>

namespace ui {

WindowFrame::WindowFrame() : QWidget(nullptr, Qt::Window) {}

WindowFrame::~WindowFrame() {
  Hooks hooks = std::move(hooks_);
  hooks_ = Hooks();
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

}  // namespace ui
