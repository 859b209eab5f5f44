// The toolkit's application object, event loop, message pumping and the hidden owner window,
// as the runtime uses them.
//
// Thread contract: everything here runs on the GUI thread, except SendEndRequest.
#ifndef PLATFORM_EVENT_LOOP_H_
#define PLATFORM_EVENT_LOOP_H_

#include <functional>
#include <memory>

class QApplication;
class QWidget;

namespace platform {

// Owns the toolkit's application object for the life of the program. Windows are never
// quit implicitly: the runtime ends the loop itself when the last program window is gone.
class GuiApplication {
 public:
  GuiApplication(int& argc, char** argv);
  ~GuiApplication();
  GuiApplication(const GuiApplication&) = delete;
  GuiApplication& operator=(const GuiApplication&) = delete;

 private:
  std::unique_ptr<QApplication> app_;
};

// Runs the event loop until PostQuit; `idle` runs each time the loop is about to wait for
// events (never nested in itself). Returns the quit code. A quit posted before the call ends
// it at once.
int RunEventLoop(const std::function<void()>& idle);
// Asks the running loop to end with the code; the request stays pending until it does.
void PostQuit(int code);
bool QuitPending();
// Dispatches waiting events until none is left or a quit is pending.
void ProcessPendingEvents();

// The hidden owner window "_WL_HideOwner": never shown, parent of the program's windows,
// receiver of end requests from other threads (message 33767).
inline constexpr int kEndRequestMessage = 33767;
void CreateHiddenOwner(std::function<void(int exitCode)> onEndRequest);
void DestroyHiddenOwner();
QWidget* HiddenOwner();
// Hands an end request with the exit code to the GUI thread and waits until it is taken.
void SendEndRequest(int exitCode);

}  // namespace platform

#endif  // PLATFORM_EVENT_LOOP_H_
