#include "platform/event_loop.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QWidget>

namespace platform {
namespace {

bool g_quitPending = false;
int g_quitCode = 0;
QEventLoop* g_loop = nullptr;

class HiddenOwnerWidget : public QWidget {
 public:
  explicit HiddenOwnerWidget(std::function<void(int)> onEndRequest) : onEndRequest_(std::move(onEndRequest)) {
    setObjectName(QStringLiteral("_WL_HideOwner"));
    setAttribute(Qt::WA_DontShowOnScreen);
    setCursor(Qt::ArrowCursor);
    setAttribute(Qt::WA_NoSystemBackground);
  }
  void TakeEndRequest(int code) {
    if (onEndRequest_) onEndRequest_(code);
  }

 private:
  std::function<void(int)> onEndRequest_;
};

std::unique_ptr<HiddenOwnerWidget>& Owner() {
  static std::unique_ptr<HiddenOwnerWidget> owner;
  return owner;
}

}  // namespace

GuiApplication::GuiApplication(int& argc, char** argv) : app_(std::make_unique<QApplication>(argc, argv)) {
  QApplication::setQuitOnLastWindowClosed(false);
}

GuiApplication::~GuiApplication() = default;

int RunEventLoop(const std::function<void()>& idle) {
  if (g_quitPending) {
    g_quitPending = false;
    return g_quitCode;
  }
  QEventLoop loop;
  QEventLoop* outer = g_loop;
  g_loop = &loop;
  bool idling = false;
  QMetaObject::Connection c;
  if (auto* d = QAbstractEventDispatcher::instance()) {
    c = QObject::connect(d, &QAbstractEventDispatcher::aboutToBlock, &loop, [&] {
      if (idling || !idle) return;
      idling = true;
      idle();
      idling = false;
    });
  }
  int code = loop.exec();
  QObject::disconnect(c);
  g_loop = outer;
  g_quitPending = false;
  return code;
}

void PostQuit(int code) {
  g_quitPending = true;
  g_quitCode = code;
  if (g_loop) g_loop->exit(code);
}

bool QuitPending() { return g_quitPending; }

void ProcessPendingEvents() {
  auto* d = QAbstractEventDispatcher::instance();
  if (d == nullptr) return;
  // Bounded: a source that posts new events for ever must not keep us here.
  for (int i = 0; i < 1000 && !g_quitPending; ++i) {
    QCoreApplication::sendPostedEvents();
    if (!d->processEvents(QEventLoop::AllEvents)) break;
  }
}

void CreateHiddenOwner(std::function<void(int)> onEndRequest) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return;  // no toolkit
  Owner() = std::make_unique<HiddenOwnerWidget>(std::move(onEndRequest));
}

void DestroyHiddenOwner() { Owner().reset(); }

QWidget* HiddenOwner() { return Owner().get(); }

void SendEndRequest(int exitCode) {
  HiddenOwnerWidget* owner = Owner().get();
  if (owner == nullptr) return;
  if (QThread::currentThread() == owner->thread()) {
    owner->TakeEndRequest(exitCode);
    return;
  }
  QMetaObject::invokeMethod(
      owner, [owner, exitCode] { owner->TakeEndRequest(exitCode); }, Qt::BlockingQueuedConnection);
}

}  // namespace platform
