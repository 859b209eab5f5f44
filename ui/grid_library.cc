// The grid library's descriptor and command table.
#include <charconv>
#include <string>

#include "runtime/libraries.h"
#include "ui/grid_commands.h"
#include "ui/grid_model.h"
#include "ui/grid_unit.h"
#include "ui/library_args.h"

namespace ui::grid_commands {
namespace {

GridModel* Grid(int32_t count, rt::ArgRecord* args) {
  return &ControlOf<GridControl>(args, count, 0, rt::kTypeGrid)->model();
}
int32_t IntAt(int32_t count, rt::ArgRecord* args, int32_t index) {
  return args::Int(args::At(count, args, index));
}

// "%.<precision>g" in the C locale, the exponent with at least three digits, as the
// platform's C library writes it (1e+020).
std::string FormatGeneral(double v, int precision) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, precision);
  if (ec != std::errc()) return {};
  std::string s(buf, end);
  const size_t e = s.find('e');
  if (e != std::string::npos && s.size() - (e + 2) < 3) s.insert(e + 2, 3 - (s.size() - (e + 2)), '0');
  return s;
}

// The text a kind-1 cell receives for the value: a text as it is, integers in decimal, floats
// with 6 and doubles with 13 significant digits. False for a value of another type.
bool CellText(const rt::ArgRecord& data, std::string* out) {
  switch (data.type()) {
    case rt::kTypeNone:
      out->clear();
      return true;
    case rt::kTypeText:
      out->assign(args::Text(data));
      return true;
    case rt::kTypeByte:
    case rt::kTypeShort:
    case rt::kTypeInt:
      *out = std::to_string(args::Int(data));
      return true;
    case rt::kTypeLong:
      *out = std::to_string(data.i64());
      return true;
    case rt::kTypeFloat:
      *out = FormatGeneral(data.f32(), 6);
      return true;
    case rt::kTypeDouble:
      *out = FormatGeneral(data.f64(), 13);
      return true;
    default:
      return false;
  }
}

}  // namespace

void CurrentRow(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args) {
  result->setI32(Grid(count, args)->currentRow());
}

void DeleteRow(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args) {
  result->setBool(Grid(count, args)->deleteRow(IntAt(count, args, 1)));
}

void InsertRow(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args) {
  GridModel* g = Grid(count, args);
  const rt::ArgRecord position = args::At(count, args, 2);
  std::string text;
  if (!CellText(args::At(count, args, 1), &text)) text.clear();
  result->setBool(
      g->insertRow(text, position.given() ? std::optional<int>(args::Int(position)) : std::nullopt));
}

void SetCell(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args) {
  GridModel* g = Grid(count, args);
  const int row = IntAt(count, args, 1);
  const int column = IntAt(count, args, 2);
  const int kind = IntAt(count, args, 3);
  const rt::ArgRecord data = args::At(count, args, 4);
  bool ok = false;
  if (kind == GridModel::kKindText) {
    std::string text;
    ok = CellText(data, &text) && g->setCellText(row, column, text);
  } else if (kind == GridModel::kKindCheck) {
    if (data.type() == rt::kTypeNone || args::IsIntegral(data.type())) {
      ok = g->setCellCheck(row, column, args::Int(data) != 0);
    }
  } else if (kind == GridModel::kKindPicture) {
    if (data.type() == rt::kTypeNone || data.type() == rt::kTypeBytes) {
      const auto* block = static_cast<const unsigned char*>(data.ptr());
      const std::string_view bytes(reinterpret_cast<const char*>(rt::ByteSetData(block)),
                                   static_cast<size_t>(rt::ByteSetLength(block)));
      ok = g->setCellPicture(row, column, data.given() ? bytes : std::string_view());
    }
  }
  result->setBool(ok);
}

void GetCell(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args) {
  const GridModel::CellValue v = Grid(count, args)->cellValue(IntAt(count, args, 1), IntAt(count, args, 2));
  switch (v.type) {
    case GridModel::CellValue::Type::kText:
      result->setPtr(rt::NewText(v.text), rt::kTypeText);
      break;
    case GridModel::CellValue::Type::kCheck:
      result->setBool(v.check);
      break;
    case GridModel::CellValue::Type::kPicture:
      result->setPtr(rt::NewByteSet(v.bytes.data(), v.bytes.size()), rt::kTypeBytes);
      break;
    case GridModel::CellValue::Type::kMissing:
      if (v.missingIsBytes) {
        result->setPtr(nullptr, rt::kTypeBytes);
      } else {
        result->setBool(false);
      }
      break;
  }
}

void SetRowHeight(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args) {
  result->setBool(Grid(count, args)->setRowHeight(IntAt(count, args, 1), IntAt(count, args, 2)));
}

void SetColumnWidth(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args) {
  result->setBool(Grid(count, args)->setColumnWidth(IntAt(count, args, 1), IntAt(count, args, 2)));
}

void SetColumnKind(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args) {
  result->setBool(Grid(count, args)->setColumnKind(IntAt(count, args, 1), IntAt(count, args, 2)));
}

void SetPictureMode(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args) {
  result->setBool(Grid(count, args)->setPictureMode(IntAt(count, args, 1), IntAt(count, args, 2)));
}

void SetRowTip(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args) {
  result->setBool(
      Grid(count, args)->setRowToolTip(IntAt(count, args, 1), args::Text(args::At(count, args, 2))));
}

void GetRowTip(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args) {
  result->setPtr(rt::NewText(Grid(count, args)->rowToolTip(IntAt(count, args, 1))), rt::kTypeText);
}

}  // namespace ui::grid_commands

namespace rt {

const SupportLibrary& GridLibrary() {
  static const std::vector<CommandFn> table = {
      ui::grid_commands::CurrentRow,     ui::grid_commands::DeleteRow,     ui::grid_commands::InsertRow,
      ui::grid_commands::SetCell,        ui::grid_commands::GetCell,       ui::grid_commands::SetRowHeight,
      ui::grid_commands::SetColumnWidth, ui::grid_commands::SetColumnKind, ui::grid_commands::SetPictureMode,
      ui::grid_commands::SetRowTip,      ui::grid_commands::GetRowTip,
  };
  static const SupportLibrary lib = MakeLibrary("grid", table);
  return lib;
}

}  // namespace rt
