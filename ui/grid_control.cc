#include "ui/grid_control.h"

#include "ui/byte_io.h"

namespace ui {
namespace {

constexpr int32_t kMaxTemplateRows = 1000000;
constexpr int32_t kMaxTemplateColumns = 10000;
constexpr uint32_t kMaxListColumns = 256;

}  // namespace

std::string GridTypeData::Encode() const {
  ByteWriter w;
  for (int32_t v : {rows, columns, fixedRows, fixedColumns, rowHeight, columnWidth}) w.I32(v);
  return w.str();
}

bool GridTypeData::Decode(std::string_view bytes, GridTypeData* out) {
  ByteReader r(bytes);
  GridTypeData d;
  if (!(r.ReadI32(&d.rows) && r.ReadI32(&d.columns) && r.ReadI32(&d.fixedRows) &&
        r.ReadI32(&d.fixedColumns) && r.ReadI32(&d.rowHeight) && r.ReadI32(&d.columnWidth) && r.atEnd())) {
    return false;
  }
  if (d.rows < 0 || d.rows > kMaxTemplateRows || d.columns < 0 || d.columns > kMaxTemplateColumns)
    return false;
  if (d.fixedRows < 0 || d.fixedRows > d.rows || d.fixedColumns < 0 || d.fixedColumns > d.columns)
    return false;
  if (d.rowHeight < 0 || d.columnWidth < 0) return false;
  *out = d;
  return true;
}

std::string ListViewTypeData::Encode() const {
  ByteWriter w;
  w.U32(view);
  w.U32(static_cast<uint32_t>(columns.size()));
  for (const Column& c : columns) {
    w.Text(c.title);
    w.I32(c.width);
  }
  return w.str();
}

bool ListViewTypeData::Decode(std::string_view bytes, ListViewTypeData* out) {
  ByteReader r(bytes);
  ListViewTypeData d;
  uint32_t n = 0;
  if (!r.ReadU32(&d.view) || d.view != kReportView || !r.ReadU32(&n) || n > kMaxListColumns) return false;
  for (uint32_t i = 0; i < n; ++i) {
    Column c;
    if (!r.ReadText(&c.title) || !r.ReadI32(&c.width) || c.width < 0) return false;
    d.columns.push_back(std::move(c));
  }
  if (!r.atEnd()) return false;
  *out = std::move(d);
  return true;
}

}  // namespace ui
