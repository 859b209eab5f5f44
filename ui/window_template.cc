#include "ui/window_template.h"

#include <set>

#include "ui/byte_io.h"

namespace ui {
namespace {

bool ReadFixed(ByteReader* r, unsigned char* out, size_t n) {
  std::string bytes;
  if (!r->ReadBytes(n, &bytes)) return false;
  std::memcpy(out, bytes.data(), n);
  return true;
}

bool ParseUnit(ByteReader* r, UnitRecord* u) {
  if (!r->ReadU32(&u->type) || !r->ReadI32(&u->link) || !ReadFixed(r, u->reserved1.data(), 16) ||
      !r->ReadText(&u->name) || !r->ReadText(&u->remark)) {
    return false;
  }
  if (u->isMenuItem()) {
    if (!ReadFixed(r, u->menuBytes.data(), 12) || !r->ReadText(&u->menuText) ||
        !r->ReadI32(&u->menuRoutine)) {
      return false;
    }
  } else {
    uint32_t n;
    if (!r->ReadI32(&u->controlSlot) || !r->ReadI32(&u->left) || !r->ReadI32(&u->top) ||
        !r->ReadI32(&u->width) || !r->ReadI32(&u->height) || !r->ReadI32(&u->pointerSlot) ||
        !r->ReadI32(&u->parentId) || !r->ReadCount(4, &n)) {
      return false;
    }
    u->list.resize(n);
    for (int32_t& v : u->list) {
      if (!r->ReadI32(&v)) return false;
    }
    if (!r->ReadCount(1, &n) || !r->ReadBytes(n, &u->pointerBlock) || !r->ReadText(&u->tag) ||
        !r->ReadI32(&u->reserved2) || !r->ReadU32(&u->stateFlags) || !r->ReadI32(&u->reserved3) ||
        !r->ReadCount(8, &n)) {
      return false;
    }
    u->bindings.resize(n);
    for (EventBinding& b : u->bindings) {
      if (!r->ReadI32(&b.event) || !r->ReadI32(&b.routineOffset)) return false;
    }
  }
  return r->ReadBytes(r->remaining(), &u->typeData);
}

bool ParseWindow(ByteReader* r, WindowTemplate* w) {
  for (int32_t& v : w->reserved) {
    if (!r->ReadI32(&v)) return false;
  }
  uint32_t count, remaining;
  if (!r->ReadCount(8, &count) || count == 0 || !r->ReadCount(1, &remaining)) return false;
  const size_t end = r->position() + remaining;
  if (static_cast<uint64_t>(count) * 8 > remaining) return false;
  std::vector<int32_t> ids(count), offsets(count);
  for (int32_t& id : ids) r->ReadI32(&id);
  for (int32_t& off : offsets) r->ReadI32(&off);
  const size_t recordsStart = r->position();
  std::set<int32_t> seen;
  w->units.resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    // Records follow one another in template order and fill the window's data exactly.
    if (offsets[i] < 0 || recordsStart + static_cast<size_t>(offsets[i]) != r->position()) return false;
    uint32_t length;
    if (!r->ReadCount(1, &length) || r->position() + length > end) return false;
    std::string bytes;
    r->ReadBytes(length, &bytes);
    ByteReader sub(bytes);
    UnitRecord& u = w->units[i];
    u.id = ids[i];
    if (!ParseUnit(&sub, &u)) return false;
    if (u.id == 0 || !seen.insert(u.id).second) return false;
    if (i == 0 && u.type != rt::kTypeWindow) return false;
    if (i > 0 && u.type == rt::kTypeWindow) return false;
    if (!u.isMenuItem() && u.parentId != 0) {
      const UnitRecord* parent = nullptr;
      for (uint32_t j = 1; j < i; ++j) {
        if (w->units[j].id == u.parentId) parent = &w->units[j];
      }
      if (parent == nullptr || parent->isMenuItem()) return false;
    }
  }
  return r->position() == end;
}

}  // namespace

UnitRecord ControlUnit(int32_t id, rt::TypeCode type, const char* name, int32_t left, int32_t top,
                       int32_t width, int32_t height, uint32_t stateFlags, std::string typeData,
                       std::vector<EventBinding> bindings) {
  UnitRecord u;
  u.id = id;
  u.type = type;
  u.name = name;
  u.left = left;
  u.top = top;
  u.width = width;
  u.height = height;
  u.stateFlags = stateFlags;
  u.typeData = std::move(typeData);
  u.bindings = std::move(bindings);
  return u;
}

const UnitRecord* WindowTemplate::FindUnit(int32_t unitId) const {
  if (unitId == 0) return units.empty() ? nullptr : &units[0];
  for (const UnitRecord& u : units) {
    if (u.id == unitId) return &u;
  }
  return nullptr;
}

UnitRecord* WindowTemplate::FindUnit(int32_t unitId) {
  return const_cast<UnitRecord*>(static_cast<const WindowTemplate*>(this)->FindUnit(unitId));
}

const WindowTemplate* WindowData::Find(int32_t windowId) const {
  for (const WindowTemplate& w : windows) {
    if (w.id == windowId) return &w;
  }
  return nullptr;
}

WindowTemplate* WindowData::Find(int32_t windowId) {
  return const_cast<WindowTemplate*>(static_cast<const WindowData*>(this)->Find(windowId));
}

bool ParseWindowData(const unsigned char* data, size_t length, WindowData* out) {
  out->windows.clear();
  if (data == nullptr || length == 0) return true;
  ByteReader r(data, length);
  uint32_t indexLength;
  if (!r.ReadCount(1, &indexLength) || indexLength % 8 != 0) return false;
  WindowData result;
  result.windows.resize(indexLength / 8);
  std::set<int32_t> ids;
  for (WindowTemplate& w : result.windows) {
    r.ReadI32(&w.id);
    r.ReadI32(&w.indexWord);
    if (!ids.insert(w.id).second) return false;
  }
  for (WindowTemplate& w : result.windows) {
    if (!ParseWindow(&r, &w)) return false;
  }
  if (!r.atEnd()) return false;
  *out = std::move(result);
  return true;
}

}  // namespace ui
