// The runtime error reporter: one box headed "错误", then the end of the process with -1.
//
// Thread contract: may be called from any thread. A report from another thread is handed to
// the GUI thread, which shows the box and runs the end processing; the reporting thread waits
// for good. Never returns.
#ifndef RUNTIME_ERRORS_H_
#define RUNTIME_ERRORS_H_

#include <cstdint>
#include <string>

namespace rt {

// Numbered errors of the application's own checks.
enum RuntimeErrorCode : int32_t {
  kErrIndexTooLarge = 1,
  kErrNotNumeric = 2,
  kErrDimensionMismatch = 3,
  kErrIndexBelowOne = 4,
  kErrTypeMismatch = 5,
  kErrDllStack = 6,
  kErrSubStatement = 7,
  kErrCompareOnlyEqual = 8,
  kErrChoiceIndex = 9,
  kErrRedefineArray = 10,
  kErrArgumentType = 11,
};

// The message of a numbered error (code 1 to 11); empty for any other code.
const char* RuntimeErrorMessage(int32_t code);

// The text the box shows for a report (heading, code, message, positions).
std::string ComposeErrorReport(const char* message, int32_t code, int32_t posA, int32_t posB);

// Reports by number (message from the table).
[[noreturn]] void RaiseRuntimeError(int32_t code, int32_t posA, int32_t posB);
// Reports a message of the runtime's or a library's own.
[[noreturn]] void ReportRuntimeError(const char* message, int32_t code, int32_t posA, int32_t posB);
// printf-style message, code 0, positions 0, 0.
[[noreturn]] void ReportRuntimeErrorF(const char* format, ...) __attribute__((format(printf, 1, 2)));

// True while a report is on screen; event dispatch drops events meanwhile.
bool IsReportingRuntimeError();
// Shows a report that another thread handed to the GUI thread and ends the program; returns
// when there is none. REQUIRES: the GUI thread.
void ShowPendingReport();

}  // namespace rt

#endif  // RUNTIME_ERRORS_H_
