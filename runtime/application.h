// The application object: the runtime's one state for the process, its start from the
// program description, the message loop, the idle list, exit routines and end processing.
//
// Thread contract: GUI thread only, except EndProgram, which hands a request from another
// thread to the GUI thread, and IsEnding, which any thread may ask.
#ifndef RUNTIME_APPLICATION_H_
#define RUNTIME_APPLICATION_H_

#include <cstdint>
#include <string>

#include "runtime/program.h"

namespace rt {

// The application entry routine: starts the runtime, runs the preparatory routines, loads
// the start window and runs the message loop. Returns 0.
int RunApplication(const ProgramHeader& program);

// RuntimeService 6. REQUIRES: called once per process.
void StartRuntime(const ProgramHeader& program);
bool IsRuntimeStarted();
// Null before the runtime starts.
const ProgramHeader* Program();

// Program directory (code page 936, no trailing separator), the same with its separator,
// and the program file name.
const std::string& ProgramDirectory();
const std::string& ProgramDirectoryWithSeparator();
const std::string& ProgramFileName();
// The program directory as the system gave it (UTF-8 bytes, no trailing separator), for the
// system's own calls such as loading a library beside the program.
const std::string& SystemProgramDirectory();
uint64_t GuiThreadId();
// Whether the calling thread is the program's GUI thread: the one that started the runtime, or
// any thread before it has started (there is only one then). Safe from any thread.
bool IsGuiThread();

// RuntimeService 2: when the array block in `*variable` still lies in the constant data,
// replaces it with a heap copy (header and elements).
void MakeArrayWritable(void** variable, size_t elementWidth);
// RuntimeService 3: a routine already registered is not added again.
void RegisterExitRoutine(AppRoutine routine);
// Runs while the message loop itself waits for messages, last entry first; entries whose window
// is gone are dropped. Idle routines never run while an error report is up, while the program
// ends, or inside a modal or nested loop or a wait that a routine opened. Ignored while ending.
void AddIdleEntry(int32_t windowId, AppRoutine routine, int64_t argument);

void RunMessageLoop();
// Handles the waiting window messages; stops at a pending quit.
void ProcessEvents();

bool IsLoopStarted();
bool IsEnding();

// End processing with the code: destroys the windows, runs the exit routines, notifies the
// libraries, releases modules. Used on the normal path before the process returns. A request
// while ending is only counted.
void RunEndProcessing(int32_t exitCode);
// End processing, then the process ends with the code. While ending, the request is only
// counted: the end in progress completes and the process ends with its code. From another
// thread, the request is handed to the GUI thread, which ends the process; the calling thread
// never returns.
[[noreturn]] void EndProgram(int32_t exitCode);
// Empties the exit routine list (the error reporter drops them).
void DropExitRoutines();

// The runtime's notification callback handed to the libraries.
intptr_t NotifyRuntime(int32_t code, intptr_t a, intptr_t b);
inline constexpr int32_t kNotifyProcessEvents = 2018;
inline constexpr int32_t kNotifyEventShort = 2008;
inline constexpr int32_t kNotifyAllocate = 2024;
inline constexpr int32_t kNotifyFree = 2025;
inline constexpr int32_t kNotifyReportError = 2027;
inline constexpr int32_t kNotifyEventLong = 2031;

}  // namespace rt

#endif  // RUNTIME_APPLICATION_H_
