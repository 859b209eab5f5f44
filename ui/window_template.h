// The window data: the serialised window templates of the program, as read at start. Each
// template keeps every field of its units, reserved words included, so that writing a
// template back gives the same bytes.
//
// Layout (little-endian, 32-bit words): index length, window index (window id and a kept word
// per window); then per window: four reserved words, unit count, remaining length, unit ids,
// unit offsets (from the first record), unit records (a length, then the record's bytes).
//
// Ownership: plain values. Thread contract: none.
#ifndef UI_WINDOW_TEMPLATE_H_
#define UI_WINDOW_TEMPLATE_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/values.h"

namespace ui {

inline constexpr int32_t kWindowUnitId = 0x06010000;
inline constexpr int32_t kNoRoutine = -1;

// State flag bits of a unit.
inline constexpr uint32_t kStateVisible = 1;
inline constexpr uint32_t kStateDisabled = 2;

struct EventBinding {
  int32_t event = 0;
  int32_t routineOffset = kNoRoutine;  // index into the program's routines; -1: no routine
  bool operator==(const EventBinding&) const = default;
};

struct UnitRecord {
  int32_t id = 0;
  rt::TypeCode type = 0;
  int32_t link = 0;
  std::array<unsigned char, 16> reserved1{};
  std::string name;
  std::string remark;
  // Controls (every type but the menu item):
  int32_t controlSlot = 0;
  int32_t left = 0, top = 0, width = 0, height = 0;
  int32_t pointerSlot = 0;
  int32_t parentId = 0;  // 0: the window itself
  std::vector<int32_t> list;
  std::string pointerBlock;
  std::string tag;
  int32_t reserved2 = 0;
  uint32_t stateFlags = 0;
  int32_t reserved3 = 0;
  std::vector<EventBinding> bindings;
  // Menu items: 12 bytes, a text and one routine offset instead of the fields above.
  std::array<unsigned char, 12> menuBytes{};
  std::string menuText;
  int32_t menuRoutine = kNoRoutine;
  // The control type's own settings, read by its library.
  std::string typeData;

  bool isMenuItem() const { return type == rt::kTypeMenuItem; }
  bool operator==(const UnitRecord&) const = default;
};

// A control's (or the window's own) record with its place, state flags, type data and event
// bindings; every other field keeps its default.
UnitRecord ControlUnit(int32_t id, rt::TypeCode type, const char* name, int32_t left, int32_t top,
                       int32_t width, int32_t height, uint32_t stateFlags, std::string typeData,
                       std::vector<EventBinding> bindings = {});

struct WindowTemplate {
  int32_t id = 0;
  int32_t indexWord = 0;  // the second word of the window index, kept unchanged
  std::array<int32_t, 4> reserved{};
  std::vector<UnitRecord> units;  // the window's own unit first

  const UnitRecord* FindUnit(int32_t unitId) const;  // unit 0: the window's own unit
  UnitRecord* FindUnit(int32_t unitId);
  bool operator==(const WindowTemplate&) const = default;
};

struct WindowData {
  std::vector<WindowTemplate> windows;
  const WindowTemplate* Find(int32_t windowId) const;
  WindowTemplate* Find(int32_t windowId);
  bool operator==(const WindowData&) const = default;
};

// Reads window data. Returns false on any inconsistency: an offset, count, length or text
// that does not fit the data, duplicate window or unit ids, a window without units, a parent
// that is not an earlier unit of the window, or bytes after the last window. Empty data is
// valid and holds no window.
bool ParseWindowData(const unsigned char* data, size_t length, WindowData* out);

}  // namespace ui

#endif  // UI_WINDOW_TEMPLATE_H_
