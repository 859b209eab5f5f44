// The desktop's dialogs on Windows: the common save dialog, the shell's folder chooser, a task
// dialog for questions with the program's own button captions, message boxes, and
// ShellExecuteW for addresses and local files. The owner is the program's active window (the
// one whose command asks).
#include <windows.h>
// After <windows.h>:
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <vector>

#include "download/download_dialogs.h"
#include "platform/codepage.h"

namespace download {
namespace {

std::wstring Wide(uint32_t codePage, std::string_view text) {
  const std::u16string wide = platform::ToUtf16(codePage, text);
  return std::wstring(wide.begin(), wide.end());
}
std::wstring Text(std::string_view gbk) { return Wide(platform::kCodePageGbk, gbk); }
// Path bytes to the W calls' form, "\" between parts.
std::wstring WidePath(std::string_view path) {
  std::wstring wide = Wide(platform::kCodePageUtf8, path);
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  return wide;
}
// A path from the system to the program's path bytes, "/" between parts.
std::string PathBytes(const wchar_t* path) {
  std::u16string wide(reinterpret_cast<const char16_t*>(path));
  for (char16_t& c : wide) {
    if (c == u'\\') c = u'/';
  }
  return platform::FromUtf16(platform::kCodePageUtf8, wide);
}

// COM for the shell's dialogs, on this thread for as long as the object lives.
class ComScope {
 public:
  ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
  ~ComScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  HRESULT result_;
};

template <typename T>
struct ComRelease {
  void operator()(T* p) const { p->Release(); }
};
template <typename T>
using ComPtr = std::unique_ptr<T, ComRelease<T>>;

class DesktopDialogs : public DownloadDialogs {
 public:
  std::string SaveFileName(std::string_view title, std::string_view proposed) override {
    const size_t slash = proposed.rfind('/');
    const std::wstring folder = WidePath(slash == std::string_view::npos ? "" : proposed.substr(0, slash));
    const std::wstring name =
        WidePath(slash == std::string_view::npos ? proposed : proposed.substr(slash + 1));
    const std::wstring caption = Text(title);
    std::vector<wchar_t> file(32768, L'\0');
    name.copy(file.data(), std::min(name.size(), file.size() - 1));
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = GetActiveWindow();
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.lpstrTitle = caption.c_str();
    // No question about an existing file: the caller asks it, in the program's words.
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&dialog)) return std::string();
    return PathBytes(file.data());
  }

  std::string ExistingFolder(std::string_view title, std::string_view start) override {
    ComScope com;
    IFileOpenDialog* made = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                reinterpret_cast<void**>(&made))))
      return BrowseForFolder(title);
    ComPtr<IFileOpenDialog> dialog(made);
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    dialog->SetTitle(Text(title).c_str());
    IShellItem* startItem = nullptr;
    if (!start.empty() &&
        SUCCEEDED(SHCreateItemFromParsingName(WidePath(start).c_str(), nullptr, IID_IShellItem,
                                              reinterpret_cast<void**>(&startItem)))) {
      ComPtr<IShellItem> held(startItem);
      dialog->SetFolder(startItem);
    }
    if (FAILED(dialog->Show(GetActiveWindow()))) return std::string();
    IShellItem* chosen = nullptr;
    if (FAILED(dialog->GetResult(&chosen))) return std::string();
    ComPtr<IShellItem> held(chosen);
    wchar_t* path = nullptr;
    if (FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &path))) return std::string();
    std::string result = PathBytes(path);
    CoTaskMemFree(path);
    return result;
  }

  int Ask(std::string_view title, std::string_view text, const std::vector<std::string>& buttons) override {
    // The task dialog takes the program's captions; it lives in common controls 6, which the
    // program's manifest asks for. Without it a message box asks with the system's buttons.
    using TaskDialogFn = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);
    HMODULE controls = GetModuleHandleW(L"comctl32.dll");
    if (controls == nullptr) controls = LoadLibraryW(L"comctl32.dll");
    auto taskDialog = controls ? reinterpret_cast<TaskDialogFn>(
                                     reinterpret_cast<void*>(GetProcAddress(controls, "TaskDialogIndirect")))
                               : nullptr;
    const std::wstring caption = Text(title), body = Text(text);
    if (taskDialog != nullptr && !buttons.empty()) {
      std::vector<std::wstring> captions;
      for (const std::string& b : buttons) captions.push_back(Text(b));
      std::vector<TASKDIALOG_BUTTON> list;
      for (size_t i = 0; i < captions.size(); ++i)
        list.push_back({kFirstButton + static_cast<int>(i), captions[i].c_str()});
      TASKDIALOGCONFIG config = {};
      config.cbSize = sizeof config;
      config.hwndParent = GetActiveWindow();
      // Escape (and the close box) gives IDCANCEL: the last button's answer.
      config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
      config.pszWindowTitle = caption.c_str();
      config.pszMainIcon = TD_INFORMATION_ICON;
      config.pszContent = body.c_str();
      config.cButtons = static_cast<UINT>(list.size());
      config.pButtons = list.data();
      config.nDefaultButton = kFirstButton;
      int pressed = 0;
      if (SUCCEEDED(taskDialog(&config, &pressed, nullptr, nullptr))) {
        if (pressed == IDCANCEL) return buttons.size() > 1 ? static_cast<int>(buttons.size()) - 1 : -1;
        const int index = pressed - kFirstButton;
        return index >= 0 && index < static_cast<int>(buttons.size()) ? index : -1;
      }
    }
    return AskWithMessageBox(caption, body, buttons);
  }

  void Inform(std::string_view title, std::string_view text) override {
    MessageBoxW(GetActiveWindow(), Text(text).c_str(), Text(title).c_str(), MB_OK | MB_ICONINFORMATION);
  }

  bool OpenAddress(std::string_view address) override { return Shell(Text(address)); }
  bool OpenPath(std::string_view path) override { return Shell(WidePath(path)); }

 private:
  static constexpr int kFirstButton = 1000;

  static bool Shell(const std::wstring& target) {
    const HINSTANCE result =
        ShellExecuteW(GetActiveWindow(), L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
  }

  // The system's buttons in the places of the program's: the first is Yes (or OK), the last
  // No or Cancel; the captions are listed in the text so that the choice reads as asked.
  static int AskWithMessageBox(const std::wstring& caption, std::wstring body,
                               const std::vector<std::string>& buttons) {
    const size_t n = buttons.size();
    if (n == 0) {
      MessageBoxW(GetActiveWindow(), body.c_str(), caption.c_str(), MB_OK | MB_ICONQUESTION);
      return -1;
    }
    static const wchar_t* const kSystem3[] = {L"是", L"否", L"取消"};
    static const wchar_t* const kSystem2[] = {L"确定", L"取消"};
    body += L"\n";
    for (size_t i = 0; i < n && i < 3; ++i) {
      body += L"\n";
      body += n >= 3 ? kSystem3[i] : n == 2 ? kSystem2[i] : L"确定";
      body += L"：" + Text(buttons[i]);
    }
    const UINT type = n >= 3 ? MB_YESNOCANCEL : n == 2 ? MB_OKCANCEL : MB_OK;
    switch (MessageBoxW(GetActiveWindow(), body.c_str(), caption.c_str(), type | MB_ICONQUESTION)) {
      case IDYES:
      case IDOK:
        return 0;
      case IDNO:
        return 1;
      case IDCANCEL:
        return static_cast<int>(std::min<size_t>(n, 3)) - 1;
      default:
        return -1;
    }
  }

  // The older folder chooser, where the shell's dialog object is not there.
  static std::string BrowseForFolder(std::string_view title) {
    const std::wstring caption = Text(title);
    BROWSEINFOW info = {};
    info.hwndOwner = GetActiveWindow();
    info.lpszTitle = caption.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (chosen == nullptr) return std::string();
    wchar_t path[MAX_PATH] = {};
    const bool ok = SHGetPathFromIDListW(chosen, path);
    CoTaskMemFree(chosen);
    return ok ? PathBytes(path) : std::string();
  }
};

}  // namespace

std::unique_ptr<DownloadDialogs> MakeDesktopDialogs(int32_t) { return std::make_unique<DesktopDialogs>(); }

}  // namespace download
