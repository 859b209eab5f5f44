// The downloads window on Windows: a top-level window with a report list view (owner data: the
// list asks for the texts of the lines it shows, so hundreds of lines cost nothing until seen),
// the progress column drawn as a bar in NM_CUSTOMDRAW, and below the list one button per action
// the selected line offers; the same actions on a right click, and a double click opens a
// complete file.
#include <windows.h>
// After <windows.h>:
#include <commctrl.h>

#include <algorithm>

#include "download/download_lines.h"
#include "download/download_manager.h"
#include "download/downloads_window.h"
#include "platform/codepage.h"

namespace download {
namespace {

using Action = DownloadsWindow::Action;
using State = Download::State;

constexpr wchar_t kClassName[] = L"VideolensDownloads";
constexpr UINT_PTR kTimerId = 1;
constexpr int kListId = 100;
constexpr int kFirstButtonId = 200;  // + the action's number
constexpr int kActionCount = static_cast<int>(Action::kReplace) + 1;
constexpr int kButtonWidth = 96, kButtonHeight = 26, kGap = 4;

std::wstring Text(std::string_view gbk) {
  const std::u16string wide = platform::ToUtf16(platform::kCodePageGbk, gbk);
  return std::wstring(wide.begin(), wide.end());
}

class Win32DownloadsWindow : public DownloadsWindow {
 public:
  Win32DownloadsWindow(DownloadManager* manager, OpenPath open, Confirm confirm)
      : manager_(manager), open_(std::move(open)), confirm_(std::move(confirm)), lines_(manager) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    RegisterClass();
    // Owned by the window whose command opened it, so that it stays above it.
    CreateWindowExW(0, kClassName, Text("下载列表").c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                    CW_USEDEFAULT, CW_USEDEFAULT, 1100, 360, GetActiveWindow(), nullptr,
                    GetModuleHandleW(nullptr), this);
    listener_ = manager_->AddListener({[this](int index) {
                                         lines_.Added(index);
                                         if (list_)
                                           ListView_SetItemCountEx(list_, lines_.count(), LVSICF_NOSCROLL);
                                         UpdateTimer();
                                       },
                                       [this](int index) {
                                         lines_.Changed(index);
                                         RedrawLine(index);
                                         UpdateButtons();
                                         UpdateTimer();
                                       }});
    if (list_) ListView_SetItemCountEx(list_, lines_.count(), 0);
    UpdateButtons();
    UpdateTimer();
  }

  ~Win32DownloadsWindow() override {
    manager_->RemoveListener(listener_);
    if (window_ != nullptr) {
      SetWindowLongPtrW(window_, GWLP_USERDATA, 0);  // no more messages reach this object
      DestroyWindow(window_);
    }
  }

  void Show() override {
    if (window_ == nullptr) return;
    ShowWindow(window_, SW_SHOWNORMAL);
    SetForegroundWindow(window_);
  }
  bool isVisible() const override { return window_ != nullptr && IsWindowVisible(window_); }
  int lineCount() const override { return lines_.count(); }
  std::string cellText(int line, Column column) const override {
    return line < 0 || line >= lineCount() || column == kActionColumn ? std::string()
                                                                      : lines_.Cell(line, column);
  }
  int progress(int line) const override {
    return line < 0 || line >= lineCount() ? 0 : lines_.Progress(line);
  }
  std::vector<Action> actions(int line) const override {
    return line < 0 || line >= lineCount() ? std::vector<Action>()
                                           : DownloadLines::ActionsOf(lines_.StateOf(line));
  }
  std::string actionCaption(int line, Action action) const override {
    const std::vector<Action> shown = actions(line);
    if (std::find(shown.begin(), shown.end(), action) == shown.end()) return std::string();
    return DownloadLines::CaptionOf(action, lines_.StateOf(line));
  }
  bool actionEnabled(int line, Action action) const override {
    const std::vector<Action> shown = actions(line);
    return std::find(shown.begin(), shown.end(), action) != shown.end() &&
           DownloadLines::EnabledIn(action, lines_.StateOf(line));
  }
  void Refresh() override {
    for (int i = 0; i < lineCount(); ++i) lines_.Changed(i);
    if (list_) InvalidateRect(list_, nullptr, FALSE);
    UpdateButtons();
  }
  void Tick() override {
    lines_.Tick();
    for (int index : lines_.running()) RedrawLine(index);
  }

 private:
  static void RegisterClass() {
    WNDCLASSEXW c = {};
    c.cbSize = sizeof c;
    if (GetClassInfoExW(GetModuleHandleW(nullptr), kClassName, &c)) return;
    c.lpfnWndProc = &Win32DownloadsWindow::Procedure;
    c.hInstance = GetModuleHandleW(nullptr);
    c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    c.lpszClassName = kClassName;
    RegisterClassExW(&c);
  }

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
      auto* self = static_cast<Win32DownloadsWindow*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
      self->window_ = window;
    }
    auto* self = reinterpret_cast<Win32DownloadsWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(window, message, w, l);
    LRESULT result = 0;
    if (self->Handle(message, w, l, &result)) return result;
    if (message == WM_NCDESTROY) {
      // Destroyed with its owner: the object stays until its own owner lets it go.
      self->window_ = nullptr;
      self->list_ = nullptr;
    }
    return DefWindowProcW(window, message, w, l);
  }

  bool Handle(UINT message, WPARAM w, LPARAM l, LRESULT* result) {
    switch (message) {
      case WM_CREATE:
        MakeChildren();
        return true;
      case WM_SIZE:
        LayOut(LOWORD(l), HIWORD(l));
        return true;
      case WM_CLOSE:
        ShowWindow(window_, SW_HIDE);  // the list stays with the manager
        return true;
      case WM_TIMER:
        if (w != kTimerId) return false;
        Tick();  // a state change updates the buttons through the manager's listener
        UpdateTimer();
        return true;
      case WM_COMMAND: {
        const int id = LOWORD(w);
        if (id >= kFirstButtonId && id < kFirstButtonId + kActionCount && HIWORD(w) == BN_CLICKED) {
          Run(SelectedLine(), static_cast<Action>(id - kFirstButtonId));
          return true;
        }
        return false;
      }
      case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(w) != list_) return false;
        ShowMenu(l);
        return true;
      case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(l);
        if (header->hwndFrom != list_) return false;
        return Notify(header, result);
      }
      default:
        return false;
    }
  }

  void MakeChildren() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    font_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    list_ = CreateWindowExW(
        WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
        0, 0, 0, 0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), instance, nullptr);
    ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP);
    static const char* const kTitles[] = {"文件名", "大小", "进度", "速度", "剩余时间", "状态"};
    static const int kWidths[] = {260, 130, 110, 80, 70, 400};
    for (int c = 0; c < kActionColumn; ++c) {
      const std::wstring title = Text(kTitles[c]);
      LVCOLUMNW column = {};
      column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
      column.pszText = const_cast<wchar_t*>(title.c_str());
      column.cx = kWidths[c];
      column.iSubItem = c;
      ListView_InsertColumn(list_, c, &column);
    }
    for (int a = 0; a < kActionCount; ++a) {
      HWND button = CreateWindowExW(
          0, L"BUTTON", L"", WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0, window_,
          reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstButtonId + a)), instance, nullptr);
      SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
      buttons_[a] = button;
    }
  }

  void LayOut(int width, int height) {
    MoveWindow(list_, kGap, kGap, std::max(0, width - 2 * kGap), ListHeight(height), TRUE);
    UpdateButtons();
  }
  static int ListHeight(int clientHeight) { return std::max(0, clientHeight - kButtonHeight - 3 * kGap); }

  // The buttons of the selected line's actions, in the order the line offers them.
  void UpdateButtons() {
    if (window_ == nullptr) return;
    const int line = SelectedLine();
    const std::vector<Action> shown = actions(line);
    for (int a = 0; a < kActionCount; ++a) {
      if (std::find(shown.begin(), shown.end(), static_cast<Action>(a)) == shown.end())
        ShowWindow(buttons_[a], SW_HIDE);
    }
    // Laid out in the order the line offers them, left to right.
    RECT client;
    GetClientRect(window_, &client);
    const int y = kGap + ListHeight(client.bottom) + kGap;
    int x = kGap;
    for (Action action : shown) {
      HWND button = buttons_[static_cast<int>(action)];
      SetWindowTextW(button, Text(actionCaption(line, action)).c_str());
      EnableWindow(button, actionEnabled(line, action));
      MoveWindow(button, x, y, kButtonWidth, kButtonHeight, TRUE);
      ShowWindow(button, SW_SHOW);
      x += kButtonWidth + kGap;
    }
  }

  int SelectedLine() const {
    return list_ ? static_cast<int>(
                       SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED))
                 : -1;
  }

  void Run(int line, Action action) {
    if (!actionEnabled(line, action)) return;
    lines_.Run(line, action, open_, confirm_);
    UpdateButtons();
  }

  // The line's actions as a menu at the pointer (or below the line for the menu key).
  void ShowMenu(LPARAM at) {
    POINT point = {static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
    const int line = SelectedLine();
    if (line < 0) return;
    if (at == static_cast<LPARAM>(-1)) {
      RECT item;
      ListView_GetItemRect(list_, line, &item, LVIR_LABEL);
      point = {item.left, item.bottom};
      ClientToScreen(list_, &point);
    }
    HMENU menu = CreatePopupMenu();
    for (Action action : actions(line)) {
      AppendMenuW(menu, MF_STRING | (actionEnabled(line, action) ? 0 : MF_GRAYED),
                  kFirstButtonId + static_cast<int>(action), Text(actionCaption(line, action)).c_str());
    }
    const int chosen =
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, point.x, point.y, 0, window_, nullptr);
    DestroyMenu(menu);
    if (chosen >= kFirstButtonId) Run(line, static_cast<Action>(chosen - kFirstButtonId));
  }

  bool Notify(const NMHDR* header, LRESULT* result) {
    switch (header->code) {
      case LVN_GETDISPINFOW: {
        auto* info = const_cast<NMLVDISPINFOW*>(reinterpret_cast<const NMLVDISPINFOW*>(header));
        if ((info->item.mask & LVIF_TEXT) && info->item.iItem < lineCount() && info->item.cchTextMax > 0) {
          // The list copies the text before it asks again.
          cellBuffer_ = Text(cellText(info->item.iItem, static_cast<Column>(info->item.iSubItem)));
          const size_t n = std::min(cellBuffer_.size(), static_cast<size_t>(info->item.cchTextMax - 1));
          cellBuffer_.copy(info->item.pszText, n);
          info->item.pszText[n] = L'\0';
        }
        return true;
      }
      case LVN_GETINFOTIPW: {
        auto* tip = const_cast<NMLVGETINFOTIPW*>(reinterpret_cast<const NMLVGETINFOTIPW*>(header));
        if (tip->iItem >= 0 && tip->iItem < lineCount() && tip->cchTextMax > 0) {
          const std::wstring path = Text(lines_.Cell(tip->iItem, kNameColumn, true));
          const size_t n = std::min(path.size(), static_cast<size_t>(tip->cchTextMax - 1));
          path.copy(tip->pszText, n);
          tip->pszText[n] = L'\0';
        }
        return true;
      }
      case LVN_ITEMCHANGED:
        UpdateButtons();
        return true;
      case NM_DBLCLK: {
        const int line = reinterpret_cast<const NMITEMACTIVATE*>(header)->iItem;
        if (actionEnabled(line, Action::kOpenFile)) Run(line, Action::kOpenFile);
        return true;
      }
      case NM_CUSTOMDRAW:
        *result = CustomDraw(const_cast<NMLVCUSTOMDRAW*>(reinterpret_cast<const NMLVCUSTOMDRAW*>(header)));
        return true;
      default:
        return false;
    }
  }

  // Only the progress cell is drawn here: a frame, the done part filled, the percentage on top.
  LRESULT CustomDraw(NMLVCUSTOMDRAW* draw) {
    switch (draw->nmcd.dwDrawStage) {
      case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
      case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
      case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        const int line = static_cast<int>(draw->nmcd.dwItemSpec);
        if (draw->iSubItem != kProgressColumn || line >= lineCount()) return CDRF_DODEFAULT;
        RECT cell;
        ListView_GetSubItemRect(list_, line, kProgressColumn, LVIR_BOUNDS, &cell);
        HDC dc = draw->nmcd.hdc;
        FillRect(dc, &cell, GetSysColorBrush(COLOR_WINDOW));
        RECT bar = {cell.left + 2, cell.top + 2, cell.right - 2, cell.bottom - 2};
        FrameRect(dc, &bar, GetSysColorBrush(COLOR_BTNSHADOW));
        RECT done = {bar.left + 1, bar.top + 1, bar.left + 1, bar.bottom - 1};
        done.right +=
            static_cast<LONG>((bar.right - bar.left - 2) * static_cast<int64_t>(progress(line)) / 1000);
        FillRect(dc, &done, GetSysColorBrush(COLOR_HIGHLIGHT));
        const std::wstring text = Text(cellText(line, kProgressColumn));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bar,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        return CDRF_SKIPDEFAULT;
      }
      default:
        return CDRF_DODEFAULT;
    }
  }

  void RedrawLine(int index) {
    if (list_) ListView_RedrawItems(list_, index, index);
  }

  void UpdateTimer() {
    if (window_ == nullptr) return;
    const bool anyRunning = !lines_.running().empty();
    if (anyRunning && !timerOn_) timerOn_ = SetTimer(window_, kTimerId, kRefreshMs, nullptr) != 0;
    if (!anyRunning && timerOn_) {
      KillTimer(window_, kTimerId);
      timerOn_ = false;
    }
  }

  DownloadManager* manager_;
  OpenPath open_;
  Confirm confirm_;
  DownloadLines lines_;
  HWND window_ = nullptr;
  HWND list_ = nullptr;
  HWND buttons_[kActionCount] = {};
  HFONT font_ = nullptr;
  std::wstring cellBuffer_;
  int listener_ = -1;
  bool timerOn_ = false;
};

}  // namespace

std::unique_ptr<DownloadsWindow> MakeDownloadsWindow(DownloadManager* manager, DownloadsWindow::OpenPath open,
                                                     DownloadsWindow::Confirm confirm, int32_t) {
  return std::make_unique<Win32DownloadsWindow>(manager, std::move(open), std::move(confirm));
}

}  // namespace download
