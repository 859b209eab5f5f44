// The top-level widget of a program window. It tells the window manager when the user asks
// to close it, when it moves or changes size, and when it is gone.
//
// Ownership: the window manager deletes it; its controls' widgets are its children.
// Thread contract: GUI thread only.
#ifndef UI_WINDOW_FRAME_H_
#define UI_WINDOW_FRAME_H_

#include <QWidget>
#include <functional>

namespace ui {

class WindowFrame : public QWidget {
 public:
  struct Hooks {
    // Returns true when the close may go on.
    std::function<bool()> closeRequested;
    std::function<void()> moved;
    std::function<void()> resized;
    // Called first thing in the destructor, while the children still exist.
    std::function<void()> destroyed;
  };

  WindowFrame();
  ~WindowFrame() override;

  void setHooks(Hooks hooks) { hooks_ = std::move(hooks); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  Hooks hooks_;
};

}  // namespace ui

#endif  // UI_WINDOW_FRAME_H_
