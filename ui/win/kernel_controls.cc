// The Win32 backend of the kernel's controls: the frame window, EDIT, STATIC and BUTTON.
#include "ui/kernel_controls.h"

#include "runtime/values.h"
#include "ui/control.h"
#include "ui/event_dispatch.h"
#include "ui/win/native_view.h"
#include "ui/win/popup_menu.h"
#include "ui/win/window_frame.h"

namespace ui {
namespace {

constexpr int32_t kKernelLibrary = 0;
constexpr int32_t kTextProperty = 0;  // property 8


// A child window of the parent unit's, in the program's font, with this control's handler.
HWND CreateChild(const ControlContext& c, const wchar_t* windowClass, std::string_view text, DWORD style,
                 DWORD exStyle = 0) {
  HWND parent = HwndOf(c.parent);
  HWND hwnd =
      ::CreateWindowExW(exStyle, windowClass, WideText(text).c_str(), WS_CHILD | WS_CLIPSIBLINGS | style, 0,
                        0, 0, 0, parent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  if (hwnd) ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(ProgramFont(DpiOf(parent))), FALSE);
  return hwnd;
}

// Ties a handler to its control's window for as long as the control's own members live: the
// window outlives them by the base class's destructor.
class HandlerTie {
 public:
  HandlerTie() = default;
  HandlerTie(const HandlerTie&) = delete;
  HandlerTie& operator=(const HandlerTie&) = delete;
  void Tie(HWND hwnd, ChildHandler* handler) {
    hwnd_ = hwnd;
    if (hwnd_) SetChildHandler(hwnd_, handler);
  }
  ~HandlerTie() {
    if (hwnd_ && ::IsWindow(hwnd_)) SetChildHandler(hwnd_, nullptr);
  }

 private:
  HWND hwnd_ = nullptr;
};

// ---- The window ------------------------------------------------------------------------

class WindowControl : public Control {
 public:
  explicit WindowControl(const ControlContext& c) : Control(c.windowId, c.unit->id) {
    WindowTypeData data;
    WindowTypeData::Decode(c.unit->typeData, &data);
    setView(ViewOf(CreateFrameWindow(data.caption)));
  }
  int64_t GetTypeProperty(int32_t number, int32_t) override {
    HWND h = HwndOf(this);
    if (number != kTextProperty || h == nullptr) return 0;
    return NewPropertyText(WindowText(h));
  }
  void SetTypeProperty(int32_t number, int32_t, int64_t value) override {
    if (HWND h = HwndOf(this); number == kTextProperty && h) SetWindowTextGbk(h, PropertyText(value));
  }
};

// ---- EditBox ---------------------------------------------------------------------------

// A multi-line edit shows CR LF line ends; the program's texts may use LF alone, which is what
// they read back, as on the other backend.
std::string WithoutCr(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
  }
  return out;
}
std::string WithCrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

class EditBoxControl : public Control, public ChildHandler {
 public:
  explicit EditBoxControl(const ControlContext& c) : Control(c.windowId, c.unit->id) {
    EditBoxTypeData data;
    EditBoxTypeData::Decode(c.unit->typeData, &data);
    multiLine_ = (data.flags & EditBoxTypeData::kMultiLine) != 0;
    DWORD style = WS_TABSTOP | ES_LEFT;
    if (multiLine_) style |= ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL;
    if (!multiLine_ || (data.flags & EditBoxTypeData::kHorizontalScrollBar)) style |= ES_AUTOHSCROLL;
    if (data.flags & EditBoxTypeData::kReadOnly) style |= ES_READONLY;
    if (!(data.flags & EditBoxTypeData::kHideSelection)) style |= ES_NOHIDESEL;
    if (multiLine_ && (data.flags & EditBoxTypeData::kHorizontalScrollBar)) style |= WS_HSCROLL;
    if (multiLine_ && (data.flags & EditBoxTypeData::kVerticalScrollBar)) style |= WS_VSCROLL;
    HWND hwnd =
        CreateChild(c, L"EDIT", multiLine_ ? WithCrLf(data.content) : data.content, style, WS_EX_CLIENTEDGE);
    if (hwnd && data.maxLength > 0)
      ::SendMessageW(hwnd, EM_LIMITTEXT, static_cast<WPARAM>(data.maxLength), 0);
    const uint32_t bg = data.background;
    background_ = ::CreateSolidBrush(RGB(bg & 0xFF, (bg >> 8) & 0xFF, (bg >> 16) & 0xFF));
    backgroundColour_ = RGB(bg & 0xFF, (bg >> 8) & 0xFF, (bg >> 16) & 0xFF);
    setView(ViewOf(hwnd));
    tie_.Tie(hwnd, this);
    // The edit shows its own menu without asking its parent: the request is taken before it.
    if (hwnd) ::SetWindowSubclass(hwnd, MenuRequestProc, 1, reinterpret_cast<DWORD_PTR>(this));
  }
  ~EditBoxControl() override {
    if (HWND h = HwndOf(this)) ::RemoveWindowSubclass(h, MenuRequestProc, 1);
    if (background_) ::DeleteObject(background_);
  }

  int64_t GetTypeProperty(int32_t number, int32_t) override {
    HWND h = HwndOf(this);
    if (number != kTextProperty || h == nullptr) return 0;
    return NewPropertyText(multiLine_ ? WithoutCr(WindowText(h)) : WindowText(h));
  }
  void SetTypeProperty(int32_t number, int32_t, int64_t value) override {
    HWND h = HwndOf(this);
    if (number != kTextProperty || h == nullptr) return;
    // Only the user's changes raise the event.
    settingText_ = true;
    SetWindowTextGbk(h, multiLine_ ? WithCrLf(PropertyText(value)) : std::string(PropertyText(value)));
    settingText_ = false;
  }
  bool SetContextMenuProvider(MenuProvider provider) override {
    menuProvider_ = std::move(provider);
    return true;
  }

  void OnCommand(WORD code) override {
    if (code == EN_CHANGE && !settingText_) RaiseEvent(windowId(), unitId(), kEventContentChanged);
  }
  HBRUSH OnColour(HDC dc) override {
    ::SetBkColor(dc, backgroundColour_);
    return background_;
  }
  // The edit's own entries, then the provider's.
  bool OnContextMenu(int x, int y) override {
    HWND h = HwndOf(this);
    if (h == nullptr || !menuProvider_) return false;
    const bool readOnly = (::GetWindowLongPtrW(h, GWL_STYLE) & ES_READONLY) != 0;
    DWORD start = 0, end = 0;
    ::SendMessageW(h, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const bool selection = end > start;
    std::vector<MenuEntry> entries = {
        {"剪切", !readOnly && selection, [h] { ::SendMessageW(h, WM_CUT, 0, 0); }},
        {"复制", selection, [h] { ::SendMessageW(h, WM_COPY, 0, 0); }},
        {"粘贴", !readOnly && ::IsClipboardFormatAvailable(CF_UNICODETEXT),
         [h] { ::SendMessageW(h, WM_PASTE, 0, 0); }},
        {"全选", ::GetWindowTextLengthW(h) > 0, [h] { ::SendMessageW(h, EM_SETSEL, 0, -1); }},
    };
    std::vector<MenuEntry> own = menuProvider_(-1);
    if (!own.empty()) entries.push_back({});
    for (MenuEntry& e : own) entries.push_back(std::move(e));
    PopUpMenu(h, entries, MenuPoint(h, x, y));
    return true;
  }

 private:
  static LRESULT CALLBACK MenuRequestProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                          DWORD_PTR self) {
    if (message == WM_CONTEXTMENU &&
        reinterpret_cast<EditBoxControl*>(self)->OnContextMenu(static_cast<short>(LOWORD(lparam)),
                                                               static_cast<short>(HIWORD(lparam)))) {
      return 0;
    }
    return ::DefSubclassProc(hwnd, message, wparam, lparam);
  }

  bool multiLine_ = false;
  bool settingText_ = false;
  HBRUSH background_ = nullptr;
  COLORREF backgroundColour_ = 0;
  MenuProvider menuProvider_;
  HandlerTie tie_;
};

// ---- Label and Button ------------------------------------------------------------------

class CaptionControl : public Control, public ChildHandler {
 public:
  CaptionControl(const ControlContext& c, bool button) : Control(c.windowId, c.unit->id), button_(button) {
    CaptionTypeData data;
    CaptionTypeData::Decode(c.unit->typeData, &data);
    HWND hwnd;
    if (button) {
      hwnd = CreateChild(c, L"BUTTON", data.caption, WS_TABSTOP | BS_PUSHBUTTON);
    } else {
      const DWORD align = data.alignment == 1 ? SS_CENTER : data.alignment == 2 ? SS_RIGHT : SS_LEFT;
      hwnd = CreateChild(c, L"STATIC", data.caption, SS_NOTIFY | SS_NOPREFIX | align);
    }
    setView(ViewOf(hwnd));
    tie_.Tie(hwnd, this);
  }
  int64_t GetTypeProperty(int32_t number, int32_t) override {
    HWND h = HwndOf(this);
    if (number != kTextProperty || h == nullptr) return 0;
    return NewPropertyText(WindowText(h));
  }
  void SetTypeProperty(int32_t number, int32_t, int64_t value) override {
    if (HWND h = HwndOf(this); number == kTextProperty && h) SetWindowTextGbk(h, PropertyText(value));
  }
  void OnCommand(WORD code) override {
    if ((button_ && code == BN_CLICKED) || (!button_ && code == STN_CLICKED)) {
      RaiseEvent(windowId(), unitId(), kEventClicked);
    }
  }

 private:
  bool button_;
  HandlerTie tie_;
};

std::unique_ptr<Control> CreateLabel(const ControlContext& c) {
  return std::make_unique<CaptionControl>(c, false);
}
std::unique_ptr<Control> CreateButton(const ControlContext& c) {
  return std::make_unique<CaptionControl>(c, true);
}

}  // namespace

void RegisterKernelControls() {
  InitWindowClasses();
  RegisterControlType(
      {rt::kTypeWindow, kKernelLibrary, true, CheckTypeData<WindowTypeData>, CreateControl<WindowControl>});
  RegisterControlType({rt::kTypeEditBox, kKernelLibrary, true, CheckTypeData<EditBoxTypeData>,
                       CreateControl<EditBoxControl>});
  RegisterControlType({rt::kTypeLabel, kKernelLibrary, true, CheckTypeData<CaptionTypeData>, CreateLabel});
  RegisterControlType({rt::kTypeButton, kKernelLibrary, true, CheckTypeData<CaptionTypeData>, CreateButton});
}

}  // namespace ui
