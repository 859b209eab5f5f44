// Event records and their dispatch: a control raises an event by handing a record to the
// runtime's notification callback (code 2008 short form, 2031 long form); the dispatcher finds
// the bound routine in the window's template and runs it with the record's arguments.
//
// Ownership: a record belongs to the control that raises it; the dispatcher writes only its
// result fields. Thread contract: GUI thread only. Dispatch may nest (a routine that processes pending
// messages lets other events run inside it); the current event source is restored after
// each nested routine.
#ifndef UI_EVENT_DISPATCH_H_
#define UI_EVENT_DISPATCH_H_

#include <cstdint>
#include <initializer_list>

#include "runtime/values.h"

namespace ui {

inline constexpr int32_t kShortEventMaxArgs = 5;
inline constexpr int32_t kLongEventMaxArgs = 16;

// Code 2008: arguments as 32-bit words.
struct ShortEventRecord {
  int32_t windowId;
  int32_t unitId;  // 0: the window's own unit
  int32_t event;
  int32_t argCount;
  int32_t args[kShortEventMaxArgs];
  int32_t resultGiven;
  int32_t result;
};

// Code 2031: arguments as argument records.
struct LongEventRecord {
  int32_t windowId;
  int32_t unitId;
  int32_t event;
  int32_t argCount;
  rt::ArgRecord args[kLongEventMaxArgs];
  int32_t resultGiven;
  int64_t result;
};

struct EventResult {
  bool given = false;
  int64_t value = 0;
};

// Raise an event through the runtime's notification callback, as every library does. Without
// a callback (runtime not started) nothing happens. A given false result asks the control to
// cancel the action that raised the event.
EventResult RaiseEvent(int32_t windowId, int32_t unitId, int32_t event,
                       std::initializer_list<int32_t> args = {});
EventResult RaiseEventLong(int32_t windowId, int32_t unitId, int32_t event,
                           std::initializer_list<rt::ArgRecord> args);

// The window system's dispatch entry (code 2008 or 2031 and the record).
void DispatchEvent(int32_t code, void* record);

// The window and unit whose event routine runs now; 0, 0 outside any routine.
struct EventSource {
  int32_t windowId = 0;
  int32_t unitId = 0;
};
EventSource CurrentEventSource();

}  // namespace ui

#endif  // UI_EVENT_DISPATCH_H_
