// The extended controls library's descriptor and command table.
#include "runtime/libraries.h"
#include "ui/library_args.h"
#include "ui/list_view_commands.h"
#include "ui/list_view_control.h"

namespace ui::list_view_commands {
namespace {

ListViewControl* List(int32_t count, rt::ArgRecord* args) {
  return ControlOf<ListViewControl>(args, count, 0, rt::kTypeListView);
}
int32_t IntAt(int32_t count, rt::ArgRecord* args, int32_t index, int32_t fallback = 0) {
  return args::Int(args::At(count, args, index), fallback);
}

}  // namespace

void DeleteAllItems(rt::ArgRecord*, int32_t count, rt::ArgRecord* args) {
  List(count, args)->DeleteAllItems();
}

void InsertItem(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args) {
  ListViewControl* list = List(count, args);
  const int32_t position = IntAt(count, args, 1, -1);  // omitted or negative: appended
  const std::string_view text = args::Text(args::At(count, args, 2));
  int32_t image = IntAt(count, args, 3, -1);
  if (image < -1) image = -1;
  const int32_t stateImage = IntAt(count, args, 4, 0);  // omitted: none
  const int32_t indent = std::max(IntAt(count, args, 5, 0), 0);
  const rt::ArgRecord data = args::At(count, args, 6);
  const int64_t value = data.type() == rt::kTypeLong ? data.i64() : args::Int(data);
  result->setI32(list->InsertItem(position, text, image, stateImage, indent, value));
}

void SetItemText(rt::ArgRecord*, int32_t count, rt::ArgRecord* args) {
  List(count, args)
      ->SetItemText(IntAt(count, args, 1), IntAt(count, args, 2), args::Text(args::At(count, args, 3)));
}

void GetItemText(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args) {
  const std::string text = List(count, args)->ItemText(IntAt(count, args, 1), IntAt(count, args, 2));
  result->setPtr(rt::NewText(text), rt::kTypeText);
}

}  // namespace ui::list_view_commands

namespace rt {

const SupportLibrary& ExtendedControlsLibrary() {
  static const std::vector<CommandFn> table = {
      ui::list_view_commands::DeleteAllItems,
      ui::list_view_commands::InsertItem,
      ui::list_view_commands::SetItemText,
      ui::list_view_commands::GetItemText,
  };
  static const SupportLibrary lib = MakeLibrary("extended controls", table);
  return lib;
}

}  // namespace rt
