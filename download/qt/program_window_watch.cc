#include "download/program_window_watch.h"

#include <QCloseEvent>
#include <QObject>

#include "ui/qt/window_frame.h"
#include "ui/window_manager.h"

namespace download {
namespace {

// A child of the frame: it passes the frame's close requests on, and its end (with the frame)
// ends the downloads. Made before the downloads window, it goes before it.
class FrameWatch : public QObject {
 public:
  FrameWatch(QWidget* frame, int32_t windowId) : QObject(frame), windowId_(windowId) {
    setObjectName(QStringLiteral("downloads-watch"));
    frame->installEventFilter(this);
  }
  ~FrameWatch() override { ProgramWindowDestroyed(windowId_); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == parent() && event->type() == QEvent::Close && !ProgramWindowClosing(windowId_)) {
      event->ignore();
      return true;  // the window stays
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  int32_t windowId_;
};

}  // namespace

bool WatchProgramWindow(int32_t windowId) {
  ui::WindowFrame* frame = ui::IsWindowLive(windowId) ? ui::FrameWidgetOf(windowId) : nullptr;
  if (frame == nullptr) return false;
  if (frame->findChild<FrameWatch*>(QStringLiteral("downloads-watch"), Qt::FindDirectChildrenOnly) == nullptr)
    new FrameWatch(frame, windowId);  // a child of the frame
  return true;
}

}  // namespace download
