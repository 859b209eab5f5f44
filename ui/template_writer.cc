#include "ui/template_writer.h"

#include "ui/byte_io.h"

namespace ui {
namespace {

std::string UnitBytes(const UnitRecord& u) {
  ByteWriter w;
  w.U32(u.type);
  w.I32(u.link);
  w.Bytes(std::string_view(reinterpret_cast<const char*>(u.reserved1.data()), u.reserved1.size()));
  w.Text(u.name);
  w.Text(u.remark);
  if (u.isMenuItem()) {
    w.Bytes(std::string_view(reinterpret_cast<const char*>(u.menuBytes.data()), u.menuBytes.size()));
    w.Text(u.menuText);
    w.I32(u.menuRoutine);
  } else {
    for (int32_t v : {u.controlSlot, u.left, u.top, u.width, u.height, u.pointerSlot, u.parentId}) w.I32(v);
    w.I32(static_cast<int32_t>(u.list.size()));
    for (int32_t v : u.list) w.I32(v);
    w.I32(static_cast<int32_t>(u.pointerBlock.size()));
    w.Bytes(u.pointerBlock);
    w.Text(u.tag);
    w.I32(u.reserved2);
    w.U32(u.stateFlags);
    w.I32(u.reserved3);
    w.I32(static_cast<int32_t>(u.bindings.size()));
    for (const EventBinding& b : u.bindings) {
      w.I32(b.event);
      w.I32(b.routineOffset);
    }
  }
  w.Bytes(u.typeData);
  return w.str();
}

}  // namespace

std::vector<unsigned char> SerializeWindowData(const WindowData& data) {
  ByteWriter out;
  if (data.windows.empty()) return {};
  out.I32(static_cast<int32_t>(data.windows.size() * 8));
  for (const WindowTemplate& win : data.windows) {
    out.I32(win.id);
    out.I32(win.indexWord);
  }
  for (const WindowTemplate& win : data.windows) {
    ByteWriter records;
    std::vector<int32_t> offsets;
    for (const UnitRecord& u : win.units) {
      offsets.push_back(static_cast<int32_t>(records.size()));
      std::string bytes = UnitBytes(u);
      records.I32(static_cast<int32_t>(bytes.size()));
      records.Bytes(bytes);
    }
    for (int32_t v : win.reserved) out.I32(v);
    out.I32(static_cast<int32_t>(win.units.size()));
    out.I32(static_cast<int32_t>(win.units.size() * 8 + records.size()));
    for (const UnitRecord& u : win.units) out.I32(u.id);
    for (int32_t off : offsets) out.I32(off);
    out.Bytes(records.str());
  }
  return out.Take();
}

}  // namespace ui
