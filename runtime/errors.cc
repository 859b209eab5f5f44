#include "runtime/errors.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>

#include "platform/event_loop.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "runtime/application.h"
#include "runtime/window_system.h"

namespace rt {
namespace {

const char* const kMessages[] = {
    "数组成员引用下标超出定义范围",
    "未得到所需要的数值型数据",
    "引用数组成员时维数不为1且不等于该数组目前所具有的维数",
    "数组成员引用下标必须大于等于1",
    "数据或数组类型不匹配",
    "调用DLL命令后发现堆栈错误",
    "子语句参数未返回数据或者返回了非系统基本类型或数组型数据",
    "被比较数据只能使用等于或不等于命令比较",
    "“多项选择”命令的索引值参数小于零或超出了所提供参数表范围",
    "“重定义数组”命令的数组维定义参数值必须大于零或单维时大于等于零",
    "所提供参数的数据类型不符合要求",
};

std::atomic<int> g_reports{0};

// printf-style formatting into a new string; reads the arguments from `ap` (the caller ends it).
std::string FormatV(const char* format, va_list ap) __attribute__((format(printf, 1, 0)));
std::string FormatV(const char* format, va_list ap) {
  va_list copy;
  va_copy(copy, ap);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(out.data(), out.size() + 1, format, ap);
  return out;
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  std::string out = FormatV(format, ap);
  va_end(ap);
  return out;
}

}  // namespace

const char* RuntimeErrorMessage(int32_t code) {
  if (code < 1 || code > static_cast<int32_t>(sizeof kMessages / sizeof kMessages[0])) return "";
  return kMessages[code - 1];
}

std::string ComposeErrorReport(const char* message, int32_t code, int32_t posA, int32_t posB) {
  std::string detail = Format("\r\n%d, %d", posA, posB);
  if (posA != 0 && ((static_cast<uint32_t>(posA) >> 24) & 0x0F) == 2) {
    std::string windowName, unitName;
    bool unitFound = false;
    const WindowSystem* ws = InstalledWindowSystem();
    bool windowFound =
        ws && ws->describeUnit && ws->describeUnit(posA, posB, &windowName, &unitFound, &unitName);
    if (!windowFound) {
      detail += "\r\n未找到所指定的窗口";
    } else {
      detail += "\r\n\"" + windowName + "\"";
      if (!unitFound) {
        detail += "\r\n未找到所指定的窗口组件";
      } else {
        detail += "\r\n\"" + unitName + "\"";
      }
    }
  }
  detail += "\r\n";
  std::string box = "运行时出错!\r\n";
  if (code != 0) box += Format("\r\n错误代码：%d\r\n", code);
  if (message && *message) box += std::string("\r\n错误信息：") + message + "\r\n";
  return box + detail;
}

void RaiseRuntimeError(int32_t code, int32_t posA, int32_t posB) {
  ReportRuntimeError(RuntimeErrorMessage(code), code, posA, posB);
}

namespace {

// The report itself: the box, then the end without exit routines.
[[noreturn]] void ShowReportAndEnd(const char* message, int32_t code, int32_t posA, int32_t posB) {
  // While the program is already ending, the end processing must not run twice: end at once.
  if (IsEnding()) platform::ExitProcess(-1);
  platform::MessageBoxA(ComposeErrorReport(message, code, posA, posB), "错误");
  DropExitRoutines();
  EndProgram(-1);
}

// A report begun on another thread, until the GUI thread shows it.
struct PendingReport {
  std::string message;
  int32_t code = 0, posA = 0, posB = 0;
};
std::mutex g_pendingMutex;
std::optional<PendingReport> g_pending;

}  // namespace

void ShowPendingReport() {
  std::optional<PendingReport> report;
  {
    std::lock_guard<std::mutex> lock(g_pendingMutex);
    report.swap(g_pending);
  }
  if (report) ShowReportAndEnd(report->message.c_str(), report->code, report->posA, report->posB);
}

void ReportRuntimeError(const char* message, int32_t code, int32_t posA, int32_t posB) {
  const bool first = g_reports.fetch_add(1) == 0;
  if (!IsGuiThread()) {
    // Another thread: the box and the window names belong to the GUI thread. The report is
    // handed over and this thread stays where it is; the first report begun ends the process,
    // shown by the GUI thread's next round of events or, failing that, by its end processing.
    if (!first) platform::ParkThread();
    if (IsEnding()) platform::ExitProcess(-1);
    {
      std::lock_guard<std::mutex> lock(g_pendingMutex);
      g_pending = PendingReport{message ? message : "", code, posA, posB};
    }
    if (platform::PostToGuiThread([] { ShowPendingReport(); })) platform::ParkThread();
    platform::ExitProcess(-1);  // no GUI thread to take it
  }
  // A second error while one is on screen must not open a nested box. One handed over from
  // another thread and not shown yet is shown now; otherwise the process ends at once.
  if (!first) {
    ShowPendingReport();
    platform::ExitProcess(-1);
  }
  ShowReportAndEnd(message, code, posA, posB);
}

void ReportRuntimeErrorF(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  std::string message = FormatV(format, ap);
  va_end(ap);
  ReportRuntimeError(message.c_str(), 0, 0, 0);
}

bool IsReportingRuntimeError() { return g_reports.load() > 0; }

}  // namespace rt
