#include "runtime/application.h"

#include <algorithm>
#include <atomic>
#include <cfenv>
#include <map>
#include <vector>

#include "platform/codepage.h"
#include "platform/com/com_init.h"
#include "platform/event_loop.h"
#include "platform/process.h"
#include "runtime/dll_commands.h"
#include "runtime/errors.h"
#include "runtime/window_system.h"

namespace rt {
namespace {

struct IdleEntry {
  int32_t windowId;
  AppRoutine routine;
  int64_t argument;
};

// The application object's state: one instance for the process. Other threads read only the
// atomic fields.
struct ApplicationState {
  const ProgramHeader* program = nullptr;
  std::string directory;
  std::string directoryWithSeparator;
  std::string systemDirectory;
  std::string fileName;
  std::atomic<uint64_t> guiThread{0};  // set before anything can start another thread
  std::vector<AppRoutine> exitRoutines;
  std::vector<IdleEntry> idleList;
  std::map<int32_t, std::function<void()>> liveWindows;
  const WindowSystem* windowSystem = nullptr;
  std::atomic<bool> started{false};
  bool loopStarted = false;
  std::atomic<bool> ending{false};
  std::atomic<int> endRequests{0};
  // The end processing's progress, so that an end request while ending continues it where it
  // stands instead of cutting it short or repeating a step.
  int32_t exitCode = 0;
  bool windowsTaken = false;
  std::vector<std::function<void()>> destroyers;
  size_t nextDestroyer = 0;
  size_t nextExitRoutine = 0;
  int nextLibraryNotice = 0;
  bool released = false;
};

ApplicationState& State() {
  static ApplicationState state;
  return state;
}

void CallRoutine(AppRoutine r) {
  if (r == nullptr) return;
  int32_t given = 0;
  r(0, nullptr, &given);
}

void RunIdleList() {
  // No routine of the program runs after a fatal error, nor once the program ends.
  if (IsReportingRuntimeError() || IsEnding()) return;
  auto& idle = State().idleList;
  for (size_t i = idle.size(); i-- > 0;) {
    if (i >= idle.size()) continue;  // a routine changed the list
    IdleEntry e = idle[i];
    if (!IsProgramWindowLive(e.windowId)) {
      idle.erase(idle.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    int64_t arg = e.argument;
    int32_t given = 0;
    e.routine(1, &arg, &given);
    if (IsReportingRuntimeError() || IsEnding()) return;
  }
}

// Runs the steps of the end processing that have not run yet, each once, in order.
void ContinueEndProcessing() {
  auto& s = State();
  if (!s.windowsTaken) {
    s.windowsTaken = true;
    s.idleList.clear();
    // Destroying a window removes it from the list: work on a copy.
    for (auto& [id, destroy] : s.liveWindows) s.destroyers.push_back(destroy);
  }
  while (s.nextDestroyer < s.destroyers.size()) {
    std::function<void()> destroy = s.destroyers[s.nextDestroyer++];
    if (destroy) destroy();
  }
  s.liveWindows.clear();
  while (s.nextExitRoutine < s.exitRoutines.size()) CallRoutine(s.exitRoutines[s.nextExitRoutine++]);
  while (s.nextLibraryNotice < kSupportLibraryCount) {
    const int i = s.nextLibraryNotice++;
    const SupportLibrary* lib = s.program && s.program->libraries ? s.program->libraries[i] : nullptr;
    if (lib && lib->notify) lib->notify(kLibraryNotifyEnd, 0, 0);
  }
  if (s.released) return;
  s.released = true;
  ReleaseDllCommands();
  if (s.windowSystem && s.windowSystem->releaseTemplates) s.windowSystem->releaseTemplates();
  platform::DestroyHiddenOwner();
  s.exitRoutines.clear();
}

// An end request the hidden owner window took from another thread.
void TakeEndRequest(int32_t exitCode) {
  auto& s = State();
  if (s.ending || IsReportingRuntimeError()) {
    // Counted only: the end in progress goes on, or the report on screen ends the program
    // (with its own code, and without the exit routines).
    ++s.endRequests;
    return;
  }
  EndProgram(exitCode);
}

}  // namespace

void InstallWindowSystem(const WindowSystem* system) { State().windowSystem = system; }
const WindowSystem* InstalledWindowSystem() { return State().windowSystem; }

void ProgramWindowCreated(int32_t windowId, std::function<void()> destroy) {
  State().liveWindows[windowId] = std::move(destroy);
}

void ProgramWindowDestroyed(int32_t windowId) {
  auto& s = State();
  s.liveWindows.erase(windowId);
  if (s.loopStarted && !s.ending && s.liveWindows.empty()) platform::PostQuit(0);
}

int ProgramWindowCount() { return static_cast<int>(State().liveWindows.size()); }

bool IsProgramWindowLive(int32_t windowId) { return State().liveWindows.count(windowId) != 0; }

void StartRuntime(const ProgramHeader& program) {
  auto& s = State();
  s.program = &program;
  SetProgramConstants(program.constantData, program.constantLength);
  platform::com::OleInitialize(nullptr);

  // The system gives the module path in UTF-8; the runtime keeps code-page texts, while the
  // system's own calls (the current directory, loading libraries) take the original bytes.
  std::string path = platform::GetModuleFileName();
  size_t slash = path.rfind('/');
  std::string dirBytes = slash == std::string::npos ? std::string() : path.substr(0, slash);
  std::string fileBytes = slash == std::string::npos ? path : path.substr(slash + 1);
  s.directory = platform::Utf8ToGbk(dirBytes);
  s.directoryWithSeparator = s.directory + "/";
  s.fileName = platform::Utf8ToGbk(fileBytes);
  s.systemDirectory = dirBytes;
  platform::SetCurrentDirectory(dirBytes);

  platform::CreateHiddenOwner([](int code) { TakeEndRequest(code); });
  s.guiThread = platform::GetCurrentThreadId();
  InitDllCommands(program.dllCommands, program.dllCommandCount);
  for (int i = 0; i < kSupportLibraryCount; ++i) {
    const SupportLibrary* lib = program.libraries ? program.libraries[i] : nullptr;
    if (lib && lib->notify) lib->notify(kLibraryNotifyStart, reinterpret_cast<intptr_t>(&NotifyRuntime), 0);
  }
  if (s.windowSystem && s.windowSystem->loadTemplates) {
    s.windowSystem->loadTemplates(program.windowData, program.windowLength, program.routines,
                                  program.routineCount);
  }
  s.started = true;
}

bool IsRuntimeStarted() { return State().started; }
const ProgramHeader* Program() { return State().program; }
const std::string& ProgramDirectory() { return State().directory; }
const std::string& ProgramDirectoryWithSeparator() { return State().directoryWithSeparator; }
const std::string& ProgramFileName() { return State().fileName; }
const std::string& SystemProgramDirectory() { return State().systemDirectory; }
uint64_t GuiThreadId() { return State().guiThread; }

bool IsGuiThread() {
  const uint64_t gui = State().guiThread;
  return gui == 0 || platform::GetCurrentThreadId() == gui;
}

void MakeArrayWritable(void** variable, size_t elementWidth) {
  void* block = *variable;
  if (block == nullptr || !IsConstant(block)) return;
  int32_t dims;
  std::memcpy(&dims, block, sizeof dims);
  size_t header = 4 + 4 * static_cast<size_t>(dims < 0 ? 0 : dims);
  uint64_t bytes = header + static_cast<uint64_t>(ElementCount(block)) * elementWidth;
  void* copy = MemAlloc(bytes);
  std::memcpy(copy, block, static_cast<size_t>(bytes));
  *variable = copy;
}

void RegisterExitRoutine(AppRoutine routine) {
  auto& list = State().exitRoutines;
  if (routine && std::find(list.begin(), list.end(), routine) == list.end()) list.push_back(routine);
}

void AddIdleEntry(int32_t windowId, AppRoutine routine, int64_t argument) {
  if (IsEnding()) return;  // the end processing has cleared the list for good
  State().idleList.push_back(IdleEntry{windowId, routine, argument});
}

void RunMessageLoop() {
  auto& s = State();
  s.loopStarted = true;
  if (s.liveWindows.empty()) return;
  platform::RunEventLoop(RunIdleList);
}

void ProcessEvents() { platform::ProcessPendingEvents(); }

bool IsLoopStarted() { return State().loopStarted; }
bool IsEnding() { return State().ending; }

void DropExitRoutines() { State().exitRoutines.clear(); }

void RunEndProcessing(int32_t exitCode) {
  // A report handed over from another thread that the loop ended before showing is shown now,
  // and it ends the program instead.
  ShowPendingReport();
  auto& s = State();
  ++s.endRequests;
  if (s.ending.exchange(true)) return;  // an end request while ending is only counted
  s.exitCode = exitCode;
  ContinueEndProcessing();
}

void EndProgram(int32_t exitCode) {
  auto& s = State();
  if (!IsGuiThread()) {
    // The GUI thread runs the end processing and ends the process; while it is ending already,
    // the request is only counted. Either way this thread does not return into the program.
    if (s.ending) {
      ++s.endRequests;
      platform::ParkThread();
    }
    if (platform::SendEndRequest(exitCode)) platform::ParkThread();
    platform::ExitProcess(exitCode);  // no GUI thread can take it
  }
  if (s.ending) {
    // Asked from inside the end processing (an exit routine, a library notice): counted only.
    // The end in progress completes from here, since this call does not return.
    ++s.endRequests;
    ContinueEndProcessing();
    platform::ExitProcess(s.exitCode);
  }
  RunEndProcessing(exitCode);
  platform::ExitProcess(exitCode);
}

intptr_t NotifyRuntime(int32_t code, intptr_t a, intptr_t b) {
  switch (code) {
    case kNotifyProcessEvents:
      ProcessEvents();
      return 0;
    case kNotifyAllocate:
      return reinterpret_cast<intptr_t>(b == 0 ? MemAlloc(static_cast<uint64_t>(a))
                                               : MemTryAlloc(static_cast<uint64_t>(a)));
    case kNotifyFree:
      MemFree(reinterpret_cast<void*>(a));
      return 0;
    case kNotifyReportError:
      ReportRuntimeError(reinterpret_cast<const char*>(a), 0, 0, 0);
    case kNotifyEventShort:
    case kNotifyEventLong:
      if (State().windowSystem && State().windowSystem->dispatchEvent) {
        State().windowSystem->dispatchEvent(code, reinterpret_cast<void*>(a));
      }
      return 0;
    default:
      return 0;
  }
}

int RunApplication(const ProgramHeader& program) {
  StartRuntime(program);
  std::fesetenv(FE_DFL_ENV);
  CallRoutine(program.prepare);
  RegisterExitRoutine(program.exitRoutine);
  CallRoutine(program.initialise[0]);
  CallRoutine(program.initialise[1]);
  if (program.startWindowId != 0) {
    const WindowSystem* ws = State().windowSystem;
    if (ws == nullptr || ws->loadWindow == nullptr)
      ReportRuntimeError("载入启动窗口失败", 0, program.startWindowId, 0);
    ws->loadWindow(program.startWindowId);
  }
  RunMessageLoop();
  return 0;
}

}  // namespace rt
