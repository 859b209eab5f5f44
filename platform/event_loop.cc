#include "platform/event_loop.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QEventLoop>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdint>
#include <mutex>

namespace platform {
namespace {

bool g_quitPending = false;
int g_quitCode = 0;
QEventLoop* g_loop = nullptr;
int g_waitDepth = 0;

// The GUI thread's application object and dispatcher, for wake-ups and tasks from other
// threads: set while the application object lives, under the lock, so that a late call never
// reaches a destroyed one.
std::mutex g_wakeMutex;
QCoreApplication* g_guiApp = nullptr;
QAbstractEventDispatcher* g_guiDispatcher = nullptr;

// Counts a running wait for the idle hook, which must not run inside one.
class WaitScope {
 public:
  WaitScope() { ++g_waitDepth; }
  ~WaitScope() { --g_waitDepth; }
  WaitScope(const WaitScope&) = delete;
  WaitScope& operator=(const WaitScope&) = delete;
};

// Handles one batch of events, waiting for it first; the timer (when running) bounds the wait.
void HandleNextEvents(QAbstractEventDispatcher* d) {
  d->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

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

struct GuiApplication::State {
  State(int& argc, char** argv) : app(argc, argv) {}
  QApplication app;
};

GuiApplication::GuiApplication(int& argc, char** argv) : state_(std::make_unique<State>(argc, argv)) {
  QApplication::setQuitOnLastWindowClosed(false);
  std::lock_guard<std::mutex> lock(g_wakeMutex);
  g_guiApp = &state_->app;
  g_guiDispatcher = QAbstractEventDispatcher::instance();
}

GuiApplication::~GuiApplication() {
  std::lock_guard<std::mutex> lock(g_wakeMutex);
  g_guiApp = nullptr;
  g_guiDispatcher = nullptr;
}

int RunEventLoop(const std::function<void()>& idle) {
  if (g_quitPending) {
    g_quitPending = false;
    return g_quitCode;
  }
  QEventLoop loop;
  QEventLoop* outer = g_loop;
  g_loop = &loop;
  bool idling = false;
  // The dispatcher is about to block in every loop of this thread: the loop's own wait is the
  // one at its level, never a dialog's, a message box's or another nested loop's, nor a wait.
  QThread* thread = QThread::currentThread();
  const int ownLevel = thread->loopLevel() + 1;
  QMetaObject::Connection c;
  if (auto* d = QAbstractEventDispatcher::instance()) {
    c = QObject::connect(d, &QAbstractEventDispatcher::aboutToBlock, &loop, [&] {
      if (idling || !idle || g_waitDepth > 0 || thread->loopLevel() != ownLevel) return;
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

bool CanWaitHandlingEvents() {
  QCoreApplication* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread() &&
         QAbstractEventDispatcher::instance() != nullptr;
}

bool WaitHandlingEvents(const std::function<bool()>& done, int timeoutMs) {
  QAbstractEventDispatcher* d = QAbstractEventDispatcher::instance();
  if (d == nullptr) return done();
  WaitScope scope;
  const bool unlimited = timeoutMs < 0;
  QDeadlineTimer deadline(unlimited ? QDeadlineTimer::Forever : QDeadlineTimer(timeoutMs, Qt::PreciseTimer));
  QTimer timer;  // wakes the dispatcher when the time is up
  timer.setSingleShot(true);
  timer.setTimerType(Qt::PreciseTimer);
  while (!done()) {
    if (g_quitPending || deadline.hasExpired()) return done();
    if (!unlimited && !timer.isActive()) timer.start(std::max<qint64>(1, deadline.remainingTime()));
    HandleNextEvents(d);
  }
  return true;
}

bool WaitForEvents(int timeoutMs) {
  QAbstractEventDispatcher* d = QAbstractEventDispatcher::instance();
  if (d == nullptr || g_quitPending) return false;
  WaitScope scope;
  QTimer timer;
  bool timedOut = false;
  if (timeoutMs >= 0) {
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&timedOut] { timedOut = true; });
    timer.start(timeoutMs);
  }
  HandleNextEvents(d);
  return !timedOut;
}

uint32_t MsgWaitForMultipleObjects(uint32_t count, const void* const* /*handles*/, int32_t /*waitAll*/,
                                   uint32_t milliseconds, uint32_t /*wakeMask*/) {
  if (count != 0 || !CanWaitHandlingEvents()) return kWaitFailed;
  int timeoutMs =
      milliseconds == kInfinite ? -1 : static_cast<int>(std::min<uint32_t>(milliseconds, INT32_MAX));
  return WaitForEvents(timeoutMs) ? kWaitObject0 : kWaitTimeout;
}

void WakeEventLoop() {
  std::lock_guard<std::mutex> lock(g_wakeMutex);
  if (g_guiDispatcher != nullptr) g_guiDispatcher->wakeUp();
}

bool PostToGuiThread(std::function<void()> task) {
  std::lock_guard<std::mutex> lock(g_wakeMutex);
  if (g_guiApp == nullptr) return false;
  return QMetaObject::invokeMethod(g_guiApp, std::move(task), Qt::QueuedConnection);
}

void CreateHiddenOwner(std::function<void(int)> onEndRequest) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return;  // no toolkit
  Owner() = std::make_unique<HiddenOwnerWidget>(std::move(onEndRequest));
}

void DestroyHiddenOwner() { Owner().reset(); }

QWidget* HiddenOwner() { return Owner().get(); }

bool SendEndRequest(int exitCode) {
  if (CanWaitHandlingEvents()) {
    HiddenOwnerWidget* owner = Owner().get();
    if (owner == nullptr) return false;
    owner->TakeEndRequest(exitCode);
    return true;
  }
  // The owner window belongs to the GUI thread: it is looked up there, when the request is taken.
  return PostToGuiThread([exitCode] {
    if (HiddenOwnerWidget* owner = Owner().get()) owner->TakeEndRequest(exitCode);
  });
}

}  // namespace platform
