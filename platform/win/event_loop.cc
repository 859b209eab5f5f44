// The event loop over user32: the GUI thread's message queue, waited on with
// MsgWaitForMultipleObjectsEx. A message-only window of the program's own takes wake-ups, tasks
// posted from other threads and end requests; every other message goes to the window it is for.
#include "platform/event_loop.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <mutex>
#include <utility>

#include "platform/win/message_window.h"

namespace platform {

namespace {

constexpr UINT kWakeMessage = WM_APP + 1;
constexpr UINT kTaskMessage = WM_APP + 2;
constexpr wchar_t kWindowClass[] = L"_WL_HideOwner";

bool g_quitPending = false;
int g_quitCode = 0;
int g_waitDepth = 0;

// The message window and its thread, for wake-ups and tasks from other threads: set while the
// application object lives, under the lock, so that a late call never reaches a destroyed one.
std::mutex g_wakeMutex;
HWND g_window = nullptr;
DWORD g_guiThread = 0;
std::deque<std::function<void()>> g_tasks;

// The hidden owner's receiver of end requests: GUI thread only.
bool g_ownerCreated = false;
std::function<void(int)> g_onEndRequest;

class WaitScope {
 public:
  WaitScope() { ++g_waitDepth; }
  ~WaitScope() { --g_waitDepth; }
  WaitScope(const WaitScope&) = delete;
  WaitScope& operator=(const WaitScope&) = delete;
};

void RunPostedTasks() {
  for (;;) {
    std::function<void()> task;
    {
      std::lock_guard<std::mutex> lock(g_wakeMutex);
      if (g_tasks.empty()) return;
      task = std::move(g_tasks.front());
      g_tasks.pop_front();
    }
    task();
  }
}

win::MessageFilter g_filter = nullptr;  // GUI thread only

void TakeEndRequest(int code) {
  if (g_ownerCreated && g_onEndRequest) g_onEndRequest(code);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case kWakeMessage:
      return 0;
    case kTaskMessage:
      RunPostedTasks();
      return 0;
    case kEndRequestMessage:
      TakeEndRequest(static_cast<int>(wparam));
      return 0;
    default:
      return ::DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

// Dispatches the messages already queued; at most `limit`, so that a source that posts new ones
// for ever cannot keep the caller here. Whether any was handled.
bool DispatchQueued(int limit) {
  bool any = false;
  MSG msg;
  for (int i = 0; i < limit && !g_quitPending && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
    if (msg.message == WM_QUIT) {
      g_quitPending = true;
      g_quitCode = static_cast<int>(msg.wParam);
      return true;
    }
    any = true;
    if (g_filter && g_filter(&msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return any;
}

// Waits until a message is queued (posted, sent or input) or the time is up; whether one is.
bool WaitForMessage(DWORD milliseconds) {
  DWORD r = ::MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_ALLINPUT | QS_ALLPOSTMESSAGE,
                                          MWMO_INPUTAVAILABLE);
  return r == WAIT_OBJECT_0;
}

}  // namespace

namespace win {
void SetMessageFilter(MessageFilter filter) { g_filter = filter; }

HWND MessageWindow() {
  std::lock_guard<std::mutex> lock(g_wakeMutex);
  return g_window;
}
}  // namespace win

struct GuiApplication::State {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
};

GuiApplication::GuiApplication(int& /*argc*/, char** /*argv*/) : state_(std::make_unique<State>()) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = state_->instance;
  wc.lpszClassName = kWindowClass;
  ::RegisterClassExW(&wc);
  HWND window = ::CreateWindowExW(0, kWindowClass, kWindowClass, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  state_->instance, nullptr);
  std::lock_guard<std::mutex> lock(g_wakeMutex);
  g_window = window;
  g_guiThread = ::GetCurrentThreadId();
}

GuiApplication::~GuiApplication() {
  HWND window;
  {
    std::lock_guard<std::mutex> lock(g_wakeMutex);
    window = g_window;
    g_window = nullptr;
    g_guiThread = 0;
    g_tasks.clear();
  }
  if (window) ::DestroyWindow(window);
  ::UnregisterClassW(kWindowClass, state_->instance);
}

int RunEventLoop(const std::function<void()>& idle) {
  bool idling = false;
  const int ownDepth = g_waitDepth;
  while (!g_quitPending) {
    MSG msg;
    if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      // About to wait: the loop's own wait, never a wait's nor a nested loop's.
      if (idle && !idling && g_waitDepth == ownDepth) {
        idling = true;
        idle();
        idling = false;
        if (g_quitPending) break;
      }
      WaitForMessage(INFINITE);
    }
    DispatchQueued(1000);
  }
  g_quitPending = false;
  return g_quitCode;
}

void PostQuit(int code) {
  g_quitPending = true;
  g_quitCode = code;
  WakeEventLoop();
}

bool QuitPending() { return g_quitPending; }

void ProcessPendingEvents() { DispatchQueued(1000); }

bool CanWaitHandlingEvents() {
  std::lock_guard<std::mutex> lock(g_wakeMutex);
  return g_window != nullptr && g_guiThread == ::GetCurrentThreadId();
}

bool WaitHandlingEvents(const std::function<bool()>& done, int timeoutMs) {
  if (!CanWaitHandlingEvents()) return done();
  WaitScope scope;
  const bool unlimited = timeoutMs < 0;
  const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(unlimited ? 0 : timeoutMs);
  while (!done()) {
    if (g_quitPending) return done();
    DWORD wait = INFINITE;
    if (!unlimited) {
      ULONGLONG now = ::GetTickCount64();
      if (now >= deadline) return done();
      wait = static_cast<DWORD>(deadline - now);
    }
    if (WaitForMessage(wait)) DispatchQueued(1000);
  }
  return true;
}

bool WaitForEvents(int timeoutMs) {
  if (!CanWaitHandlingEvents() || g_quitPending) return false;
  WaitScope scope;
  if (!WaitForMessage(timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs))) return false;
  DispatchQueued(1000);
  return true;
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
  if (g_window != nullptr) ::PostMessageW(g_window, kWakeMessage, 0, 0);
}

bool PostToGuiThread(std::function<void()> task) {
  std::lock_guard<std::mutex> lock(g_wakeMutex);
  if (g_window == nullptr) return false;
  g_tasks.push_back(std::move(task));
  // One message per task keeps the queue's order with the other messages; a full queue drops
  // the message, not the task, which the next task message runs.
  ::PostMessageW(g_window, kTaskMessage, 0, 0);
  return true;
}

void CreateHiddenOwner(std::function<void(int)> onEndRequest) {
  if (win::MessageWindow() == nullptr) return;  // no application object
  g_ownerCreated = true;
  g_onEndRequest = std::move(onEndRequest);
}

void DestroyHiddenOwner() {
  g_ownerCreated = false;
  g_onEndRequest = nullptr;
}

// The program's windows are the toolkit's, which this build has not: there is no widget to own
// them. End requests still reach the message window.
QWidget* HiddenOwner() { return nullptr; }

bool SendEndRequest(int exitCode) {
  if (CanWaitHandlingEvents()) {
    if (!g_ownerCreated) return false;
    TakeEndRequest(exitCode);
    return true;
  }
  // Looked up on the GUI thread, when the request is taken.
  std::lock_guard<std::mutex> lock(g_wakeMutex);
  if (g_window == nullptr) return false;
  return ::PostMessageW(g_window, kEndRequestMessage, static_cast<WPARAM>(exitCode), 0) != 0;
}

}  // namespace platform
