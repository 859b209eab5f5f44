// The Qt backend's top-level widget of a program window, reporting to the frame hooks
// (ui/window_frame.h), and the frame of a live window for the backend's own users.
//
// Ownership: the window manager deletes it; its controls' widgets are its children.
// Thread contract: GUI thread only.
#ifndef UI_QT_WINDOW_FRAME_H_
#define UI_QT_WINDOW_FRAME_H_

#include <QWidget>
#include <cstdint>

#include "ui/window_frame.h"

namespace ui {

class WindowFrame : public QWidget {
 public:
  WindowFrame();
  ~WindowFrame() override;

  void setHooks(FrameHooks hooks) { hooks_ = std::move(hooks); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  FrameHooks hooks_;
};

// The frame widget of a live window, or null.
WindowFrame* FrameWidgetOf(int32_t windowId);

}  // namespace ui

#endif  // UI_QT_WINDOW_FRAME_H_
