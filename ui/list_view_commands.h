// The extended controls library's ListView commands (library 3) and typed wrappers for
// application code. Every command's first argument is the list (a control record of type
// 0x00040004); the first selected item is the list's property 35, read through
// GetUnitProperty.
//
// Commands in table order: DeleteAllItems, InsertItem, SetItemText, GetItemText.
//
// Ownership: GetItemText's result is a new text block; the wrapper hands it to an rt::Text.
// Thread contract: GUI thread only.
#ifndef UI_LIST_VIEW_COMMANDS_H_
#define UI_LIST_VIEW_COMMANDS_H_

#include <cstdint>
#include <optional>

#include "runtime/helper_interface.h"
#include "runtime/libraries.h"
#include "ui/control_args.h"

namespace ui::list_view_commands {

void DeleteAllItems(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args);
// Arguments after the list, all optional: position, text, image, state image, indent, data.
void InsertItem(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args);
void SetItemText(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args);
void GetItemText(rt::ArgRecord* result, int32_t count, rt::ArgRecord* args);

}  // namespace ui::list_view_commands

namespace list_view {

using ui::ControlRef;

inline constexpr int32_t kPropertySelectedItem = 35;

namespace detail {
inline rt::ArgRecord List(ControlRef l) { return ui::ControlArg(l, rt::kTypeListView); }
inline rt::ArgRecord Call(rt::CommandFn fn, std::initializer_list<rt::ArgRecord> args) {
  return rt::CallLibrary(rt::kLibraryExtended, fn, args);
}
inline rt::ArgRecord Opt(std::optional<int32_t> v) { return v ? rt::IntArg(*v) : rt::Omitted(); }
}  // namespace detail

inline void DeleteAllItems(ControlRef l) {
  detail::Call(ui::list_view_commands::DeleteAllItems, {detail::List(l)});
}

struct ItemFields {
  std::optional<int32_t> position = std::nullopt;
  const char* text = nullptr;  // null: omitted
  std::optional<int32_t> image = std::nullopt;
  std::optional<int32_t> stateImage = std::nullopt;
  std::optional<int32_t> indent = std::nullopt;
  std::optional<int32_t> data = std::nullopt;
};
// Returns the new item's index.
inline int32_t InsertItem(ControlRef l, const ItemFields& f = {}) {
  return detail::Call(
             ui::list_view_commands::InsertItem,
             {detail::List(l), detail::Opt(f.position), f.text ? rt::TextArg(f.text) : rt::Omitted(),
              detail::Opt(f.image), detail::Opt(f.stateImage), detail::Opt(f.indent), detail::Opt(f.data)})
      .i32();
}
inline void SetItemText(ControlRef l, int32_t item, int32_t column, const char* text) {
  detail::Call(ui::list_view_commands::SetItemText,
               {detail::List(l), rt::IntArg(item), rt::IntArg(column), rt::TextArg(text)});
}
inline rt::Text GetItemText(ControlRef l, int32_t item, int32_t column) {
  return rt::TextResult(detail::Call(ui::list_view_commands::GetItemText,
                                     {detail::List(l), rt::IntArg(item), rt::IntArg(column)}));
}
// Index of the first selected item, -1 when none.
inline int32_t SelectedItem(ControlRef l) {
  return static_cast<int32_t>(rt::Helpers().GetUnitProperty(l.windowId, l.unitId, kPropertySelectedItem, -1));
}

}  // namespace list_view

#endif  // UI_LIST_VIEW_COMMANDS_H_
