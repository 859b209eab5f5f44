// The Win32 backend of the list view unit: a SysListView32 in report view, one selected line
// at a time, whole lines selected.
#include "ui/list_view_control.h"

#include "ui/event_dispatch.h"
#include "ui/win/native_view.h"
#include "ui/win/popup_menu.h"

namespace ui {
namespace {

class WinListViewControl : public ListViewControl, public ChildHandler {
 public:
  explicit WinListViewControl(const ControlContext& c) : ListViewControl(c.windowId, c.unit->id) {
    ListViewTypeData data;
    ListViewTypeData::Decode(c.unit->typeData, &data);
    HWND parent = HwndOf(c.parent);
    hwnd_ = ::CreateWindowExW(
        WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
        WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 0, 0, 0, 0,
        parent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (hwnd_ == nullptr) return;
    const int dpi = DpiOf(parent);
    ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(ProgramFont(dpi)), FALSE);
    ::SendMessageW(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES,
                   LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    for (size_t i = 0; i < data.columns.size(); ++i) {
      std::wstring title = WideText(data.columns[i].title);
      LVCOLUMNW column = {};
      column.mask = LVCF_TEXT | LVCF_WIDTH;
      column.pszText = title.data();
      column.cx = ToPixels(data.columns[i].width, dpi);
      ::SendMessageW(hwnd_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    setView(ViewOf(hwnd_));
    SetChildHandler(hwnd_, this);
  }
  ~WinListViewControl() override {
    if (::IsWindow(hwnd_)) SetChildHandler(hwnd_, nullptr);
  }

  void DeleteAllItems() override { Send(LVM_DELETEALLITEMS, 0, 0); }

  int32_t InsertItem(int32_t position, std::string_view text, int32_t image, int32_t stateImage,
                     int32_t indent, int64_t data) override {
    if (!Live()) return -1;
    const int32_t count = ItemCount();
    std::wstring wide = WideText(text);
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_INDENT | LVIF_PARAM | LVIF_STATE;
    item.iItem = position < 0 || position > count ? count : position;
    item.pszText = wide.data();
    item.iImage = image;
    item.iIndent = indent;
    item.lParam = static_cast<LPARAM>(data);
    item.state = INDEXTOSTATEIMAGEMASK(static_cast<UINT>(stateImage) & 0xF);
    item.stateMask = LVIS_STATEIMAGEMASK;
    return static_cast<int32_t>(Send(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  }

  void SetItemText(int32_t item, int32_t column, std::string_view text) override {
    if (!Live() || item < 0 || item >= ItemCount() || column < 0 || column >= ColumnLimit()) return;
    std::wstring wide = WideText(text);
    LVITEMW lv = {};
    lv.iSubItem = column;
    lv.pszText = wide.data();
    Send(LVM_SETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv));
  }

  std::string ItemText(int32_t item, int32_t column) const override {
    if (!Live() || item < 0 || item >= ItemCount() || column < 0 || column >= ColumnLimit()) return {};
    // The list copies at most the buffer's size less one: grow until the text fits.
    for (size_t size = 256;; size *= 2) {
      std::wstring buffer(size, L'\0');
      LVITEMW lv = {};
      lv.iSubItem = column;
      lv.pszText = buffer.data();
      lv.cchTextMax = static_cast<int>(size);
      const auto got = static_cast<size_t>(
          Send(LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv)));
      if (got + 1 < size || size >= (1u << 24)) {
        buffer.resize(std::min(got, size));
        return NarrowText(buffer);
      }
    }
  }

  int32_t ItemCount() const override { return static_cast<int32_t>(Send(LVM_GETITEMCOUNT, 0, 0)); }
  int32_t SelectedItem() const override {
    return Live() ? static_cast<int32_t>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)) : -1;
  }

  bool SetContextMenuProvider(MenuProvider provider) override {
    menuProvider_ = std::move(provider);
    return true;
  }

  // A left click anywhere on the list, after the list has updated its selection (a click where
  // no line is leaves none selected).
  bool OnNotify(const NMHDR& header, LRESULT* result) override {
    if (header.code != NM_CLICK) return false;
    RaiseEvent(windowId(), unitId(), kListViewEventClicked);
    *result = 0;
    return true;
  }

  // The right button makes the line under the pointer the selected one first (the provider gets
  // -1 where there is none); the menu key asks for the focused line.
  bool OnContextMenu(int x, int y) override {
    if (!menuProvider_ || !Live()) return false;
    int32_t line;
    POINT at;
    if (x == -1 && y == -1) {
      line = static_cast<int32_t>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
      RECT r = {LVIR_BOUNDS, 0, 0, 0};
      if (line >= 0 && Send(LVM_GETITEMRECT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&r))) {
        at = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ::ClientToScreen(hwnd_, &at);
      } else {
        at = MenuPoint(hwnd_, -1, -1);
      }
    } else {
      at = {x, y};
      LVHITTESTINFO hit = {};
      hit.pt = at;
      ::ScreenToClient(hwnd_, &hit.pt);
      line = static_cast<int32_t>(Send(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    }
    if (line >= 0) {
      LVITEMW state = {};
      state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
      state.state = LVIS_SELECTED | LVIS_FOCUSED;
      Send(LVM_SETITEMSTATE, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&state));
    }
    PopUpMenu(hwnd_, menuProvider_(line), at);
    return true;
  }

 private:
  bool Live() const { return hwnd_ && ::IsWindow(hwnd_); }
  LRESULT Send(UINT message, WPARAM wparam, LPARAM lparam) const {
    return Live() ? ::SendMessageW(hwnd_, message, wparam, lparam) : 0;
  }
  int32_t ColumnLimit() const {
    HWND header = reinterpret_cast<HWND>(Send(LVM_GETHEADER, 0, 0));
    const int columns = header ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    return std::max(columns, 1);
  }

  HWND hwnd_ = nullptr;
  MenuProvider menuProvider_;
};

}  // namespace

std::unique_ptr<Control> CreateListViewControl(const ControlContext& context) {
  return std::make_unique<WinListViewControl>(context);
}

}  // namespace ui
