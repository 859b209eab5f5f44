// The GUI thread's application object, event loop, message pumping and the hidden owner window,
// as the runtime uses them: over the toolkit on Linux, over user32 on Windows.
//
// Thread contract: everything here runs on the GUI thread, except WakeEventLoop, PostToGuiThread,
// SendEndRequest, CanWaitHandlingEvents and MsgWaitForMultipleObjects (which fails off the GUI
// thread), which any thread may call.
#ifndef PLATFORM_EVENT_LOOP_H_
#define PLATFORM_EVENT_LOOP_H_

#include <cstdint>
#include <functional>
#include <memory>

class QWidget;

namespace platform {

// Owns the GUI thread's application object (the toolkit's, or the message window on Windows)
// for the life of the program. Windows are never
// quit implicitly: the runtime ends the loop itself when the last program window is gone.
class GuiApplication {
 public:
  GuiApplication(int& argc, char** argv);
  ~GuiApplication();
  GuiApplication(const GuiApplication&) = delete;
  GuiApplication& operator=(const GuiApplication&) = delete;

 private:
  struct State;  // the backend's
  std::unique_ptr<State> state_;
};

// Runs the event loop until PostQuit; `idle` runs each time the loop itself is about to wait
// for events: never nested in itself, nor inside a loop that something the loop runs opens (a
// dialog's or a message box's exec, a nested QEventLoop), nor inside WaitHandlingEvents or
// WaitForEvents. Returns the quit code. A quit posted before the call ends it at once.
int RunEventLoop(const std::function<void()>& idle);
// Asks the running loop to end with the code; the request stays pending until it does.
void PostQuit(int code);
bool QuitPending();
// Dispatches waiting events until none is left or a quit is pending.
void ProcessPendingEvents();

// Handles events until `done()` holds, `timeoutMs` milliseconds have passed (negative: no
// limit) or a quit is pending, and returns done(). This is how the program waits for work that
// runs elsewhere (a transfer) without freezing its windows: they repaint, move and take input
// meanwhile, with the runtime's rules for events. Idle routines do not run inside it.
// REQUIRES: the GUI thread, with the toolkit's application object alive.
bool WaitHandlingEvents(const std::function<bool()>& done, int timeoutMs);
// Waits until at least one event has arrived or `timeoutMs` have passed (negative: no limit),
// handles what has arrived and returns whether anything did before the time-out. Returns at
// once when a quit is pending. REQUIRES: as WaitHandlingEvents.
bool WaitForEvents(int timeoutMs);
// The system call a program of this platform waits with until input arrives (user32's
// MsgWaitForMultipleObjects), for waits without object handles: `count` must be 0. Waits as
// WaitForEvents does (INFINITE: no limit), so what arrived has been handled on return.
// Returns WAIT_OBJECT_0 (0) when input arrived, WAIT_TIMEOUT when the time ran out, WAIT_FAILED
// for handles or off the GUI thread.
inline constexpr uint32_t kInfinite = 0xFFFFFFFF;
inline constexpr uint32_t kWaitObject0 = 0;
inline constexpr uint32_t kWaitTimeout = 258;
inline constexpr uint32_t kWaitFailed = 0xFFFFFFFF;
uint32_t MsgWaitForMultipleObjects(uint32_t count, const void* const* handles, int32_t waitAll,
                                   uint32_t milliseconds, uint32_t wakeMask);
// From any thread: makes a waiting WaitHandlingEvents or WaitForEvents look again. Does nothing
// without the toolkit's application object.
void WakeEventLoop();
// From any thread: runs `task` on the GUI thread when it next handles events (in the loop,
// in ProcessPendingEvents, in a wait or a modal loop). False, and nothing queued, without the
// toolkit's application object.
bool PostToGuiThread(std::function<void()> task);
// True on the GUI thread while the toolkit's application object lives, so that a caller can
// tell whether it may wait with WaitHandlingEvents.
bool CanWaitHandlingEvents();

// The hidden owner window "_WL_HideOwner": never shown, parent of the program's windows,
// receiver of end requests from other threads (message 33767).
inline constexpr int kEndRequestMessage = 33767;
void CreateHiddenOwner(std::function<void(int exitCode)> onEndRequest);
void DestroyHiddenOwner();
QWidget* HiddenOwner();
// Hands an end request with the exit code to the hidden owner window: at once on the GUI
// thread, otherwise queued for the GUI thread without waiting for it. False when no owner window
// (on the GUI thread) or no toolkit (elsewhere) can take it.
bool SendEndRequest(int exitCode);

}  // namespace platform

#endif  // PLATFORM_EVENT_LOOP_H_
