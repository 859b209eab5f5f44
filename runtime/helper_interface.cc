#include "runtime/helper_interface.h"

#include "runtime/application.h"
#include "runtime/dll_commands.h"
#include "runtime/errors.h"
#include "runtime/window_system.h"

namespace rt {
namespace {

void CallKernelCommandEntry(CommandFn command, ArgRecord* result, int32_t count, ArgRecord* args) {
  result->clear();
  command(result, count, args);
}

void CallLibraryCommandEntry(int32_t /*library*/, CommandFn command, ArgRecord* result, int32_t count,
                             ArgRecord* args) {
  result->clear();
  command(result, count, args);
}

intptr_t RuntimeServiceEntry(int32_t number, intptr_t a, intptr_t b) {
  switch (number) {
    case kServiceMakeArrayWritable:
      MakeArrayWritable(reinterpret_cast<void**>(a), static_cast<size_t>(b));
      return 0;
    case kServiceRegisterExitRoutine:
      RegisterExitRoutine(reinterpret_cast<AppRoutine>(a));
      return 0;
    case kServiceStartRuntime:
      StartRuntime(*reinterpret_cast<const ProgramHeader*>(a));
      return 0;
    default:
      return 0;
  }
}

int64_t GetUnitPropertyEntry(int32_t windowId, int32_t unitId, int32_t property, int32_t index) {
  const WindowSystem* ws = InstalledWindowSystem();
  if (ws == nullptr || ws->getProperty == nullptr) {
    ReportRuntimeError("未载入欲访问窗口组件所在的窗口", 0, windowId, unitId);
  }
  return ws->getProperty(windowId, unitId, property, index);
}

void SetUnitPropertyEntry(int32_t windowId, int32_t unitId, int32_t property, int32_t index, int64_t value) {
  const WindowSystem* ws = InstalledWindowSystem();
  if (ws == nullptr || ws->setProperty == nullptr) {
    ReportRuntimeError("未载入欲访问窗口组件所在的窗口", 0, windowId, unitId);
  }
  ws->setProperty(windowId, unitId, property, index, value);
}

void LoadWindowEntry(int32_t windowId) {
  const WindowSystem* ws = InstalledWindowSystem();
  if (ws == nullptr || ws->loadWindow == nullptr) ReportRuntimeError("载入启动窗口失败", 0, windowId, 0);
  ws->loadWindow(windowId);
}

void* MemAllocEntry(uint64_t size) { return MemAlloc(size); }
void* MemReallocEntry(void* block, uint64_t size) { return MemRealloc(block, size); }
void MemFreeEntry(void* block) { MemFree(block); }

const HelperInterface kHelpers = {
    CallKernelCommandEntry,
    CallLibraryCommandEntry,
    RuntimeServiceEntry,
    ResolveDllCommand,
    GetUnitPropertyEntry,
    SetUnitPropertyEntry,
    LoadWindowEntry,
    RunMessageLoop,
    MemAllocEntry,
    MemReallocEntry,
    MemFreeEntry,
    RaiseRuntimeError,
    EndProgram,
};

}  // namespace

const HelperInterface& Helpers() { return kHelpers; }

}  // namespace rt
