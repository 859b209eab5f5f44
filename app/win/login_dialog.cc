// The login dialog on Win32: a window of its own class, built in code, owned by the main window
// (so that it stays above it and goes with it) and not modal, like the Qt one. Its texts are
// code page 936 inside the program and UTF-16 only at the calls into user32.
//
// Firefox's cookie store is not offered: the Windows build has no SQLite to read it with.
#include "app/login_dialog.h"

// <windows.h> first: the others need its types.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
// clang-format on

#include <memory>
#include <string>

#include "app/constants.h"
#include "app/main_window.h"
#include "platform/codepage.h"
#include "ui/win/native_view.h"
#include "ui/window_manager.h"

namespace app {
namespace {

constexpr wchar_t kClassName[] = L"VideolensLoginDialog";

enum ControlId : int {
  kHelpId = 100,
  kLineId,
  kAddId,
  kImportId,
  kListId,
  kNoteId,
  kClearId,
  kCloseId,
};

std::wstring W(std::string_view gbk) {
  const std::u16string text = platform::ToUtf16(platform::kCodePageGbk, gbk);
  return std::wstring(text.begin(), text.end());
}

std::string Narrow(uint32_t codePage, std::wstring_view text) {
  return platform::FromUtf16(codePage, std::u16string(text.begin(), text.end()));
}

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

// The main window's frame, or null when it is not live.
HWND MainWindowHandle() {
  return ui::HwndOf(ui::FindLiveControl(kMainWindowId, ui::kWindowUnitId));
}

class LoginDialogWindow : public LoginDialog {
 public:
  LoginDialogWindow() : editor_(net::LoginCookies::DefaultPath()) {}
  ~LoginDialogWindow() override {
    if (keys_ != nullptr) UnhookWindowsHookEx(keys_);
    if (font_ != nullptr) DeleteObject(font_);
  }

  // Creates the window over `owner`; false when it cannot be made.
  bool Create(HWND owner);
  HWND handle() const { return window_; }
  void Attach(HWND window) { window_ = window; }

  void PasteAndAdd(std::string_view line) override {
    const std::u16string text = platform::ToUtf16(platform::kCodePageUtf8, line);
    SetWindowTextW(Item(kLineId), reinterpret_cast<const wchar_t*>(text.c_str()));
    Click(kAddId);
  }
  void ImportPicked(const std::string& path) override {
    editor_.ImportFile(path);
    Refresh();
  }
  std::string FieldText() const override {
    return Narrow(platform::kCodePageUtf8, WindowText(Item(kLineId)));
  }
  std::vector<LoginRow> ListedRows() const override;
  std::string Note() const override { return Narrow(platform::kCodePageGbk, WindowText(Item(kNoteId))); }
  void PressClear() override { Click(kClearId); }
  void PressClose() override { Click(kCloseId); }
  bool IsShown() const override { return window_ != nullptr && IsWindowVisible(window_); }

  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  HWND Item(int id) const { return GetDlgItem(window_, id); }
  // A click as the user's: a disabled button takes none.
  void Click(int id) {
    HWND button = Item(id);
    if (IsWindowEnabled(button)) SendMessageW(button, BM_CLICK, 0, 0);
  }
  int Scaled(int pixels) const { return MulDiv(pixels, static_cast<int>(dpi_), USER_DEFAULT_SCREEN_DPI); }
  void MakeControls();
  void SetFont();
  void Layout();
  void Refresh();
  void Import();
  void Add() {
    if (editor_.AddLine(FieldText()) > 0) SetWindowTextW(Item(kLineId), L"");
    Refresh();
  }

  LoginEditor editor_;
  HWND window_ = nullptr;
  HFONT font_ = nullptr;
  HHOOK keys_ = nullptr;
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
};

// The open dialog; destroyed with its window (WM_NCDESTROY).
std::unique_ptr<LoginDialogWindow>& OpenDialog() {
  static std::unique_ptr<LoginDialogWindow> dialog;
  return dialog;
}

// Keys bound for the open dialog go to the dialog manager; a key it used is not dispatched.
LRESULT CALLBACK DialogKeys(int code, WPARAM removed, LPARAM data) {
  auto* message = reinterpret_cast<MSG*>(data);
  if (code == HC_ACTION && removed == PM_REMOVE && message->message >= WM_KEYFIRST &&
      message->message <= WM_KEYLAST && OpenDialog() != nullptr) {
    HWND dialog = OpenDialog()->handle();
    if ((message->hwnd == dialog || IsChild(dialog, message->hwnd)) && IsDialogMessageW(dialog, message)) {
      message->message = WM_NULL;
    }
  }
  return CallNextHookEx(nullptr, code, removed, data);
}

LRESULT CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  std::unique_ptr<LoginDialogWindow>& open = OpenDialog();
  if (open == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  // The first messages come while CreateWindowExW has not yet returned the handle.
  if (open->handle() == nullptr) open->Attach(window);
  if (message == WM_NCDESTROY) {
    const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
    open.reset();
    return result;
  }
  return open->Handle(message, wParam, lParam);
}

bool RegisterDialogClass() {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSEXW c{};
    c.cbSize = sizeof c;
    c.lpfnWndProc = DialogProc;
    c.hInstance = GetModuleHandleW(nullptr);
    c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    c.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    c.lpszClassName = kClassName;
    return RegisterClassExW(&c) != 0;
  }();
  return registered;
}

bool LoginDialogWindow::Create(HWND owner) {
  dpi_ = GetDpiForWindow(owner);
  if (dpi_ == 0) dpi_ = USER_DEFAULT_SCREEN_DPI;
  RECT frame{0, 0, Scaled(640), Scaled(420)};
  AdjustWindowRectExForDpi(&frame, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_DLGMODALFRAME, dpi_);
  RECT over{};
  GetWindowRect(owner, &over);
  HWND made = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kClassName, W("登录信息").c_str(),
                              WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, over.left + Scaled(40),
                              over.top + Scaled(40), frame.right - frame.left, frame.bottom - frame.top,
                              owner, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (made == nullptr) return false;
  // The program's message loop is the window system's and knows no dialog: the keys of this
  // window (Tab, Shift+Tab, Esc) are handed to the dialog manager from a hook on the thread's
  // queue instead, as IsDialogMessage in the loop would.
  keys_ = SetWindowsHookExW(WH_GETMESSAGE, DialogKeys, nullptr, GetCurrentThreadId());
  MakeControls();
  SetFont();
  Layout();
  Refresh();
  return true;
}

void LoginDialogWindow::MakeControls() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  auto make = [&](DWORD exStyle, const wchar_t* type, const std::wstring& text, DWORD style, int id) {
    CreateWindowExW(exStyle, type, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, window_,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  };
  make(0, L"STATIC",
       W("网站可能只回答登录的用户。在浏览器中登录网站，打开开发者工具的“网络”页，复制一个网站请求的 Cookie "
         "请求头，粘贴到下面（如 “Cookie: z_c0=…; d_c0=…”）；或者导入浏览器扩展导出的 cookies.txt。\r\n"
         "登录信息只发给网站本身的主机，保存在只有你能读的文件里。"),
       SS_LEFT, kHelpId);
  make(WS_EX_CLIENTEDGE, L"EDIT", L"",
       WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, kLineId);
  make(0, L"BUTTON", W("添加"), WS_TABSTOP | BS_PUSHBUTTON, kAddId);
  make(0, L"BUTTON", W("导入 cookies.txt…"), WS_TABSTOP | BS_PUSHBUTTON, kImportId);
  make(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
       WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER, kListId);
  make(0, L"STATIC", L"", SS_LEFT | SS_NOPREFIX, kNoteId);
  make(0, L"BUTTON", W("全部清除"), WS_TABSTOP | BS_PUSHBUTTON, kClearId);
  make(0, L"BUTTON", W("关闭"), WS_TABSTOP | BS_PUSHBUTTON, kCloseId);
  HWND list = Item(kListId);
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  const char* titles[] = {"名称", "域", "过期", "仅 https"};
  const int widths[] = {160, 170, 150, 80};
  for (int i = 0; i < 4; ++i) {
    std::wstring title = W(titles[i]);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = title.data();
    column.cx = Scaled(widths[i]);
    column.iSubItem = i;
    ListView_InsertColumn(list, i, &column);
  }
}

// The system's message font at the window's resolution.
void LoginDialogWindow::SetFont() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (!SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi_)) {
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  }
  HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
  for (HWND child = GetWindow(window_, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
  if (font_ != nullptr) DeleteObject(font_);
  font_ = font;
}

// Help and field on top, the row of buttons, the list taking the rest, the note and the bottom
// row of buttons.
void LoginDialogWindow::Layout() {
  RECT client{};
  GetClientRect(window_, &client);
  const int margin = Scaled(10), gap = Scaled(6), button = Scaled(26);
  const int width = client.right - margin * 2;
  int y = margin;
  auto place = [&](int id, int x, int top, int w, int h) {
    SetWindowPos(Item(id), nullptr, x, top, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  };
  place(kHelpId, margin, y, width, Scaled(64));
  y += Scaled(64) + gap;
  place(kLineId, margin, y, width, Scaled(64));
  y += Scaled(64) + gap;
  place(kAddId, margin, y, Scaled(90), button);
  place(kImportId, margin + Scaled(90) + gap, y, Scaled(150), button);
  y += button + gap;
  const int bottom = client.bottom - margin - button;
  const int noteTop = bottom - gap - Scaled(20);
  place(kListId, margin, y, width, std::max(noteTop - gap - y, Scaled(40)));
  place(kNoteId, margin, noteTop, width, Scaled(20));
  place(kClearId, margin, bottom, Scaled(90), button);
  place(kCloseId, client.right - margin - Scaled(90), bottom, Scaled(90), button);
}

// The list and the note from the editor; the values never leave it.
void LoginDialogWindow::Refresh() {
  HWND list = Item(kListId);
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(list);
  int index = 0;
  for (const LoginRow& row : editor_.Rows()) {
    const std::string* cells[] = {&row.name, &row.domain, &row.expires, &row.secure};
    for (int column = 0; column < 4; ++column) {
      std::wstring text = W(*cells[column]);
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = index;
      item.iSubItem = column;
      item.pszText = text.data();
      if (column == 0) {
        ListView_InsertItem(list, &item);
      } else {
        ListView_SetItem(list, &item);
      }
    }
    ++index;
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
  SetWindowTextW(Item(kNoteId), W(editor_.note()).c_str());
  EnableWindow(Item(kClearId), !editor_.empty());
}

std::vector<LoginRow> LoginDialogWindow::ListedRows() const {
  HWND list = Item(kListId);
  std::vector<LoginRow> rows;
  const int count = ListView_GetItemCount(list);
  for (int i = 0; i < count; ++i) {
    std::string cells[4];
    for (int column = 0; column < 4; ++column) {
      wchar_t text[512] = {};
      ListView_GetItemText(list, i, column, text, static_cast<int>(std::size(text)));
      cells[column] = Narrow(platform::kCodePageGbk, text);
    }
    rows.push_back({cells[0], cells[1], cells[2], cells[3]});
  }
  return rows;
}

// The system's open dialog, cookies.txt files first.
void LoginDialogWindow::Import() {
  wchar_t file[MAX_PATH * 4] = {};
  const std::wstring title = W("导入 cookies.txt");
  OPENFILENAMEW open{};
  open.lStructSize = sizeof open;
  open.hwndOwner = window_;
  open.lpstrFilter = L"cookies.txt (*.txt)\0*.txt\0*.*\0*.*\0";
  open.lpstrFile = file;
  open.nMaxFile = static_cast<DWORD>(std::size(file));
  open.lpstrTitle = title.c_str();
  open.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
  // The dialog's own loop may let this window be closed meanwhile: look it up again after.
  if (!GetOpenFileNameW(&open)) return;
  if (OpenDialog().get() != this) return;
  ImportPicked(Narrow(platform::kCodePageUtf8, file));
}

LRESULT LoginDialogWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
          case kAddId:
            Add();
            return 0;
          case kImportId:
            Import();
            return 0;
          case kClearId:
            editor_.Clear();
            Refresh();
            return 0;
          case kCloseId:
            DestroyWindow(window_);
            return 0;
        }
      }
      break;
    case WM_SIZE:
      Layout();
      return 0;
    case WM_GETMINMAXINFO: {
      auto* size = reinterpret_cast<MINMAXINFO*>(lParam);
      size->ptMinTrackSize = {Scaled(420), Scaled(320)};
      return 0;
    }
    case WM_DPICHANGED: {
      // Per-monitor resolution: the system proposes the frame for the new monitor.
      dpi_ = HIWORD(wParam);
      const RECT* proposed = reinterpret_cast<const RECT*>(lParam);
      SetFont();
      SetWindowPos(window_, nullptr, proposed->left, proposed->top, proposed->right - proposed->left,
                   proposed->bottom - proposed->top, SWP_NOZORDER | SWP_NOACTIVATE);
      Layout();
      return 0;
    }
    case WM_CLOSE:
      DestroyWindow(window_);
      return 0;
  }
  // Esc, through the dialog manager.
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
    DestroyWindow(window_);
    return 0;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace

LoginDialog* ShowLoginDialog() {
  std::unique_ptr<LoginDialogWindow>& open = OpenDialog();
  if (open == nullptr) {
    HWND owner = MainWindowHandle();
    if (owner == nullptr || !RegisterDialogClass()) return nullptr;
    open = std::make_unique<LoginDialogWindow>();
    if (!open->Create(owner)) {
      open.reset();
      return nullptr;
    }
  }
  ShowWindow(open->handle(), SW_SHOW);
  SetForegroundWindow(open->handle());
  return open.get();
}

LoginDialog* OpenLoginDialog() { return OpenDialog().get(); }

void OfferLogin() {
  HWND owner = MainWindowHandle();
  if (owner == nullptr) return;
  // Owned by the main window: closing it meanwhile ends the box (answered "no").
  const int answer = MessageBoxW(owner, W(kLoginQuestion).c_str(), W(kLoginQuestionTitle).c_str(),
                                 MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1);
  if (answer == IDYES) ShowLoginDialog();
}

}  // namespace app
