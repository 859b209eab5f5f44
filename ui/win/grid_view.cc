#include "ui/win/grid_view.h"

#include <windows.h>
// The common controls' and the message crackers' headers need <windows.h> first.
#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/event_loop.h"
#include "ui/win/popup_menu.h"

namespace ui {
namespace {

constexpr wchar_t kWindowClass[] = L"WL_Grid";
constexpr UINT_PTR kRepaintTimer = 1;
constexpr int kLineStep = 20;  // pixels per scroll line, as on the toolkit
const COLORREF kGridLine = RGB(0xC0, 0xC0, 0xC0);
const COLORREF kFixedBackground = RGB(0xF0, 0xF0, 0xF0);
const COLORREF kBodyBackground = RGB(0xFF, 0xFF, 0xFF);
const COLORREF kCurrentFrame = RGB(0x33, 0x66, 0xCC);

// ---- GDI objects, owned ------------------------------------------------------------------

template <typename H>
struct GdiDeleter {
  void operator()(H h) const {
    if (h) ::DeleteObject(h);
  }
};
template <typename H>
using Gdi = std::unique_ptr<std::remove_pointer_t<H>, GdiDeleter<H>>;

struct DcDeleter {
  void operator()(HDC dc) const {
    if (dc) ::DeleteDC(dc);
  }
};
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;

// Selects an object into a DC for a scope.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object) : dc_(dc), old_(::SelectObject(dc, object)) {}
  ~Selected() { ::SelectObject(dc_, old_); }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// Keeps a DC's state (its clip region above all) for a scope.
class SavedDc {
 public:
  explicit SavedDc(HDC dc) : dc_(dc), id_(::SaveDC(dc)) {}
  ~SavedDc() { ::RestoreDC(dc_, id_); }
  SavedDc(const SavedDc&) = delete;
  SavedDc& operator=(const SavedDc&) = delete;

 private:
  HDC dc_;
  int id_;
};

// A top-down 32-bit DIB section and the bits it draws from.
struct Dib {
  Gdi<HBITMAP> bitmap;
  uint32_t* bits = nullptr;
  int width = 0;
  int height = 0;
};

Dib MakeDib(int width, int height) {
  Dib dib;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // rows top-down, as the picture's
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  dib.bitmap.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (dib.bitmap) {
    dib.bits = static_cast<uint32_t*>(bits);
    dib.width = width;
    dib.height = height;
  }
  return dib;
}

RECT ToRect(const GridRect& r) { return RECT{r.left, r.top, r.right(), r.bottom()}; }

void Fill(HDC dc, const RECT& rect, COLORREF colour) {
  ::SetBkColor(dc, colour);
  ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

std::wstring ToWide(std::string_view gbk) {
  const std::u16string text = platform::ToUtf16(platform::kCodePageGbk, gbk);
  return std::wstring(text.begin(), text.end());
}

// ---- Pictures ----------------------------------------------------------------------------

// A decoded picture as a bitmap (its 0xAARRGGBB words are a 32-bit DIB's pixels; one with
// transparency is laid over the body's white first, since GDI's copies ignore alpha), and the
// copy last scaled for a stretching or fitting cell, so that a repaint does not scale it again.
struct WinPictureDrawing : GridModel::PictureDrawing {
  Dib picture;
  Dib scaled;
  int scaledMode = 0;
};

std::unique_ptr<WinPictureDrawing> MakeDrawing(const platform::Picture& picture) {
  auto d = std::make_unique<WinPictureDrawing>();
  d->picture = MakeDib(picture.width, picture.height);
  if (!d->picture.bitmap) return nullptr;
  const size_t count = picture.pixels.size();
  if (!picture.hasAlpha) {
    std::memcpy(d->picture.bits, picture.pixels.data(), count * 4);
  } else {
    for (size_t i = 0; i < count; ++i) {
      const uint32_t p = picture.pixels[i];
      const uint32_t a = p >> 24;
      auto over = [a](uint32_t c) { return (c * a + 255 * (255 - a) + 127) / 255; };
      d->picture.bits[i] =
          0xFF000000u | over((p >> 16) & 0xFF) << 16 | over((p >> 8) & 0xFF) << 8 | over(p & 0xFF);
    }
  }
  ::GdiFlush();
  return d;
}

// Copies the picture to `dc` at (x, y) in its natural size; the DC's clip cuts it.
void Blit(HDC dc, HDC source, const Dib& dib, int x, int y) {
  Selected in(source, dib.bitmap.get());
  ::BitBlt(dc, x, y, dib.width, dib.height, source, 0, 0, SRCCOPY);
}

// The picture scaled to width by height, made once per size and mode.
const Dib* Scaled(HDC source, WinPictureDrawing& d, int width, int height, int mode) {
  if (d.scaled.bitmap && d.scaled.width == width && d.scaled.height == height && d.scaledMode == mode) {
    return &d.scaled;
  }
  Dib out = MakeDib(width, height);
  if (!out.bitmap) return nullptr;
  MemoryDc target(::CreateCompatibleDC(source));
  {
    Selected to(target.get(), out.bitmap.get());
    Selected from(source, d.picture.bitmap.get());
    ::SetStretchBltMode(target.get(), HALFTONE);
    ::SetBrushOrgEx(target.get(), 0, 0, nullptr);
    ::StretchBlt(target.get(), 0, 0, width, height, source, 0, 0, d.picture.width, d.picture.height, SRCCOPY);
  }
  d.scaled = std::move(out);
  d.scaledMode = mode;
  return &d.scaled;
}

void DrawPicture(HDC dc, HDC source, WinPictureDrawing& d, int mode, const RECT& rect) {
  const int w = rect.right - rect.left;
  const int h = rect.bottom - rect.top;
  const int pw = d.picture.width;
  const int ph = d.picture.height;
  if (w <= 0 || h <= 0 || pw <= 0 || ph <= 0) return;
  SavedDc saved(dc);
  ::IntersectClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
  switch (mode) {
    case GridModel::kModeTile:
      for (int y = rect.top; y < rect.bottom; y += ph) {
        for (int x = rect.left; x < rect.right; x += pw) Blit(dc, source, d.picture, x, y);
      }
      break;
    case GridModel::kModeStretch:
      if (const Dib* s = Scaled(source, d, w, h, mode)) Blit(dc, source, *s, rect.left, rect.top);
      break;
    case GridModel::kModeCentre:
      Blit(dc, source, d.picture, rect.left + (w - pw) / 2, rect.top + (h - ph) / 2);
      break;
    case GridModel::kModeTopLeft:
      Blit(dc, source, d.picture, rect.left, rect.top);
      break;
    case GridModel::kModeFit: {
      // The larger of the two scales that keep the proportions and stay inside the cell.
      int fw = w;
      int fh = static_cast<int>(static_cast<int64_t>(ph) * w / pw);
      if (fh > h) {
        fh = h;
        fw = static_cast<int>(static_cast<int64_t>(pw) * h / ph);
      }
      if (fw <= 0 || fh <= 0) break;
      if (const Dib* s = Scaled(source, d, fw, fh, mode)) {
        Blit(dc, source, *s, rect.left + (w - fw) / 2, rect.top + (h - fh) / 2);
      }
      break;
    }
    default:
      break;
  }
}

// ---- The decoding pool -------------------------------------------------------------------

// A decoding task on the system's thread pool: the result goes back to the GUI thread, where
// `done` runs (the view may be gone by then: `done` checks).
struct DecodeWork {
  std::shared_ptr<const std::string> bytes;
  std::function<void(std::shared_ptr<const platform::Picture>)> done;
};

DWORD WINAPI DecodeOnPool(void* context) {
  std::unique_ptr<DecodeWork> work(static_cast<DecodeWork*>(context));
  std::shared_ptr<const platform::Picture> picture = GridModel::Decode(*work->bytes);
  platform::PostToGuiThread(
      [done = std::move(work->done), picture = std::move(picture)]() mutable { done(std::move(picture)); });
  return 0;
}

}  // namespace

// ---- The window's state ------------------------------------------------------------------

class GridView::Impl {
 public:
  Impl(HWND parent, int x, int y, int width, int height);
  ~Impl();

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  HWND hwnd_ = nullptr;
  GridModel model_;
  std::function<void(int, int)> onRelease_;
  MenuProvider menuProvider_;
  GridScroll scroll_;
  // The alive token decoding tasks check before touching the view.
  std::shared_ptr<Impl*> self_ = std::make_shared<Impl*>(this);

 private:
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  int clientWidth() const { return clientWidth_; }
  int clientHeight() const { return clientHeight_; }
  void OnModelChanged(GridModel::Change change, int row, int column);
  void ScheduleRepaint(const RECT* rect);
  void FlushRepaint();
  void RepaintNow();
  void UpdateScrollBars();
  void ClampScroll();
  void ScrollTo(int bar, int position);
  void OnScroll(int bar, int request);
  void Paint(HDC target, const RECT& area);
  void DrawCell(HDC dc, HDC source, int row, int column, const GridRect& cell);
  void StartDecoding(const std::shared_ptr<GridModel::PictureSlot>& slot);
  void ShowMenu(LPARAM lparam);
  void UpdateToolTip(int x, int y);

  // Data changes waiting for the timer: the parts to repaint, or all of it; the scroll bars'
  // ranges, when counts or sizes changed (set with the repaint: each setting is a round trip to
  // the window system, and a lookup changes sizes with every row).
  Gdi<HRGN> pendingRepaint_;
  bool pendingAll_ = false;
  bool scrollBarsStale_ = false;
  int clientWidth_ = 0;  // as of the last WM_SIZE
  int clientHeight_ = 0;
  bool timerActive_ = false;
  bool leftPressed_ = false;
  HFONT font_ = nullptr;  // WM_SETFONT's (the owner keeps it), else the system's GUI font
  Gdi<HPEN> gridPen_{::CreatePen(PS_SOLID, 1, kGridLine)};
  Gdi<HPEN> framePen_{::CreatePen(PS_SOLID | PS_INSIDEFRAME, 2, kCurrentFrame)};
  Gdi<HPEN> checkPen_{::CreatePen(PS_SOLID, 1, RGB(0, 0, 0))};
  Gdi<HBITMAP> backBuffer_;
  int backWidth_ = 0;
  int backHeight_ = 0;
  HWND toolTip_ = nullptr;  // a child-like popup owned by the window, destroyed with it
  int toolTipRow_ = -1;
  std::wstring toolTipText_;
};

namespace {

void RegisterGridClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = GridView::Impl::WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kWindowClass;
    ::RegisterClassExW(&wc);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
  });
}

}  // namespace

GridView::Impl::Impl(HWND parent, int x, int y, int width, int height) {
  RegisterGridClass();
  model_.setChangeHandler(
      [this](GridModel::Change change, int row, int column) { OnModelChanged(change, row, column); });
  const DWORD style = (parent ? WS_CHILD | WS_TABSTOP : WS_POPUP) | WS_CLIPSIBLINGS | WS_VSCROLL | WS_HSCROLL;
  hwnd_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, kWindowClass, L"", style, x, y, width, height, parent, nullptr,
                            ::GetModuleHandleW(nullptr), this);
  if (hwnd_ == nullptr) return;
  RECT client{};
  ::GetClientRect(hwnd_, &client);
  clientWidth_ = client.right;
  clientHeight_ = client.bottom;
  toolTip_ = ::CreateWindowExW(
      WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  if (toolTip_ != nullptr) {
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(hwnd_);
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    ::SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(toolTip_, TTM_SETMAXTIPWIDTH, 0, 600);
  }
  UpdateScrollBars();
}

GridView::Impl::~Impl() {
  if (hwnd_ != nullptr) {
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    ::DestroyWindow(hwnd_);  // and the tooltip it owns
  }
}

LRESULT CALLBACK GridView::Impl::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<Impl*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(hwnd, message, wparam, lparam);
  if (self->hwnd_ == nullptr) self->hwnd_ = hwnd;  // messages sent during creation
  if (message == WM_NCDESTROY) {
    // The parent destroyed the window first: the view keeps only its model.
    self->hwnd_ = nullptr;
    self->toolTip_ = nullptr;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    return ::DefWindowProcW(hwnd, message, wparam, lparam);
  }
  return self->Handle(message, wparam, lparam);
}

LRESULT GridView::Impl::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // the paint covers every pixel
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(hwnd_, &ps);
      Paint(dc, ps.rcPaint);
      ::EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_PRINTCLIENT: {
      const RECT all{0, 0, clientWidth(), clientHeight()};
      Paint(reinterpret_cast<HDC>(wparam), all);
      return 0;
    }
    case WM_SIZE:
      clientWidth_ = LOWORD(lparam);
      clientHeight_ = HIWORD(lparam);
      UpdateScrollBars();
      ::InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_TIMER:
      if (wparam != kRepaintTimer) break;
      FlushRepaint();
      return 0;
    case WM_VSCROLL:
      OnScroll(SB_VERT, LOWORD(wparam));
      return 0;
    case WM_HSCROLL:
      OnScroll(SB_HORZ, LOWORD(wparam));
      return 0;
    case WM_MOUSEWHEEL: {
      UINT lines = 3;
      ::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
      const int delta = GET_WHEEL_DELTA_WPARAM(wparam);
      ScrollTo(SB_VERT, scroll_.y - delta * static_cast<int>(lines) * kLineStep / WHEEL_DELTA);
      return 0;
    }
    case WM_LBUTTONDOWN: {
      ::SetFocus(hwnd_);
      ::SetCapture(hwnd_);
      leftPressed_ = true;
      const auto [row, column] = model_.cellAt(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam), scroll_);
      model_.setCurrentCell(row, column);  // fixed cells and empty areas leave the current cell
      return 0;
    }
    case WM_LBUTTONUP: {
      if (!leftPressed_) return 0;  // pressed elsewhere
      leftPressed_ = false;
      if (::GetCapture() == hwnd_) ::ReleaseCapture();
      const int x = GET_X_LPARAM(lparam);
      const int y = GET_Y_LPARAM(lparam);
      if (x < 0 || y < 0 || x >= clientWidth() || y >= clientHeight()) return 0;  // released away
      if (onRelease_) onRelease_(x, y);
      return 0;
    }
    case WM_CAPTURECHANGED:
      leftPressed_ = false;
      return 0;
    case WM_MOUSEMOVE:
      UpdateToolTip(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
      return 0;
    case WM_CONTEXTMENU:
      if (!menuProvider_) break;
      ShowMenu(lparam);
      return 0;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lparam);
      if (header->hwndFrom == toolTip_ && header->code == TTN_GETDISPINFOW) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(lparam);
        info->lpszText = toolTipText_.empty() ? nullptr : toolTipText_.data();
        return 0;
      }
      break;
    }
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(wparam);
      if (LOWORD(lparam)) ::InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd_, message, wparam, lparam);
}

// ---- Repaints ----------------------------------------------------------------------------

void GridView::Impl::OnModelChanged(GridModel::Change change, int row, int column) {
  if (hwnd_ == nullptr) return;
  switch (change) {
    case GridModel::Change::kLayout:
      scrollBarsStale_ = true;
      ClampScroll();
      ScheduleRepaint(nullptr);
      break;
    case GridModel::Change::kContent:
      ScheduleRepaint(nullptr);
      break;
    case GridModel::Change::kCell: {
      const GridRect cell = model_.cellRect(row, column, scroll_);
      const RECT r{cell.left, cell.top, cell.right() + 1, cell.bottom() + 1};
      ScheduleRepaint(&r);
      break;
    }
    case GridModel::Change::kCurrent:
      RepaintNow();
      break;
  }
}

// Data changes are painted at most once per kRepaintIntervalMs: a lookup that fills rows
// faster than a screen refreshes would otherwise paint every visible cell once per row.
void GridView::Impl::ScheduleRepaint(const RECT* rect) {
  if (rect == nullptr) {
    pendingAll_ = true;
    pendingRepaint_.reset();
  } else if (!pendingAll_) {
    Gdi<HRGN> part(::CreateRectRgnIndirect(rect));
    if (!pendingRepaint_) {
      pendingRepaint_ = std::move(part);
    } else if (part) {
      ::CombineRgn(pendingRepaint_.get(), pendingRepaint_.get(), part.get(), RGN_OR);
    }
  }
  if (!timerActive_) timerActive_ = ::SetTimer(hwnd_, kRepaintTimer, kRepaintIntervalMs, nullptr) != 0;
}

void GridView::Impl::FlushRepaint() {
  ::KillTimer(hwnd_, kRepaintTimer);
  timerActive_ = false;
  if (scrollBarsStale_) UpdateScrollBars();
  if (pendingAll_) {
    ::InvalidateRect(hwnd_, nullptr, FALSE);
  } else if (pendingRepaint_) {
    ::InvalidateRgn(hwnd_, pendingRepaint_.get(), FALSE);
  }
  pendingAll_ = false;
  pendingRepaint_.reset();
}

// What the user did: painted before the next input is taken.
void GridView::Impl::RepaintNow() {
  ::InvalidateRect(hwnd_, nullptr, FALSE);
  ::UpdateWindow(hwnd_);
}

// ---- Scrolling ---------------------------------------------------------------------------

void GridView::Impl::UpdateScrollBars() {
  if (hwnd_ == nullptr) return;
  scrollBarsStale_ = false;
  // The position runs from 0 to content - view, as the toolkit's scroll bars do.
  for (int bar : {SB_HORZ, SB_VERT}) {
    const int content = bar == SB_HORZ ? model_.contentWidth() : model_.contentHeight();
    const int view = bar == SB_HORZ ? clientWidth() : clientHeight();
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE;
    info.nMin = 0;
    info.nMax = std::max(content - 1, 0);
    info.nPage = static_cast<UINT>(std::max(view, 0));
    ::SetScrollInfo(hwnd_, bar, &info, TRUE);
  }
  // Showing or hiding a bar changes the client size: positions are clamped to what is left.
  ClampScroll();
  ::SetScrollPos(hwnd_, SB_HORZ, scroll_.x, TRUE);
  ::SetScrollPos(hwnd_, SB_VERT, scroll_.y, TRUE);
}

// Rows and columns that went take the scrolled part back with them at once; the bars follow.
void GridView::Impl::ClampScroll() {
  scroll_.x = std::clamp(scroll_.x, 0, std::max(0, model_.contentWidth() - clientWidth()));
  scroll_.y = std::clamp(scroll_.y, 0, std::max(0, model_.contentHeight() - clientHeight()));
}

void GridView::Impl::ScrollTo(int bar, int position) {
  if (scrollBarsStale_) UpdateScrollBars();  // what the user does sees the sizes as they are
  const int max = bar == SB_HORZ ? std::max(0, model_.contentWidth() - clientWidth())
                                 : std::max(0, model_.contentHeight() - clientHeight());
  position = std::clamp(position, 0, max);
  int& value = bar == SB_HORZ ? scroll_.x : scroll_.y;
  if (value == position) return;
  value = position;
  ::SetScrollPos(hwnd_, bar, position, TRUE);
  RepaintNow();
}

void GridView::Impl::OnScroll(int bar, int request) {
  const int current = bar == SB_HORZ ? scroll_.x : scroll_.y;
  const int page = bar == SB_HORZ ? std::max(1, clientWidth() - model_.fixedWidth())
                                  : std::max(1, clientHeight() - model_.fixedHeight());
  int position = current;
  switch (request) {
    case SB_LINEUP:
      position -= kLineStep;
      break;
    case SB_LINEDOWN:
      position += kLineStep;
      break;
    case SB_PAGEUP:
      position -= page;
      break;
    case SB_PAGEDOWN:
      position += page;
      break;
    case SB_TOP:
      position = 0;
      break;
    case SB_BOTTOM:
      position = INT_MAX / 2;
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO info{};
      info.cbSize = sizeof info;
      info.fMask = SIF_TRACKPOS;
      ::GetScrollInfo(hwnd_, bar, &info);
      position = info.nTrackPos;
      break;
    }
    default:
      return;
  }
  ScrollTo(bar, position);
}

// ---- Drawing -----------------------------------------------------------------------------

void GridView::Impl::Paint(HDC target, const RECT& area) {
  const int width = clientWidth();
  const int height = clientHeight();
  if (width <= 0 || height <= 0) return;
  if (!backBuffer_ || backWidth_ != width || backHeight_ != height) {
    // Made like the screen, not like `target`: a DC handed in by WM_PRINTCLIENT may hold any bitmap.
    HDC screen = ::GetDC(nullptr);
    backBuffer_.reset(::CreateCompatibleBitmap(screen, width, height));
    ::ReleaseDC(nullptr, screen);
    backWidth_ = width;
    backHeight_ = height;
  }
  MemoryDc dc(::CreateCompatibleDC(target));
  MemoryDc source(::CreateCompatibleDC(target));  // pictures are copied from here
  if (!dc || !source || !backBuffer_) return;
  Selected buffer(dc.get(), backBuffer_.get());
  Selected font(dc.get(), font_ ? static_cast<HGDIOBJ>(font_) : ::GetStockObject(DEFAULT_GUI_FONT));
  ::SetBkMode(dc.get(), TRANSPARENT);
  ::SetTextColor(dc.get(), ::GetSysColor(COLOR_WINDOWTEXT));
  Fill(dc.get(), RECT{0, 0, width, height}, kBodyBackground);
  model_.ForEachCellInView(
      width, height, scroll_,
      [&](const GridRect& clip) {
        ::SelectClipRgn(dc.get(), nullptr);
        ::IntersectClipRect(dc.get(), clip.left, clip.top, clip.right(), clip.bottom());
      },
      [&](int row, int column, const GridRect& cell) {
        DrawCell(dc.get(), source.get(), row, column, cell);
        // The cell's right and bottom pixel lines are its grid lines.
        Selected pen(dc.get(), gridPen_.get());
        ::MoveToEx(dc.get(), cell.right(), cell.top, nullptr);
        ::LineTo(dc.get(), cell.right(), cell.bottom() + 1);
        ::MoveToEx(dc.get(), cell.left, cell.bottom(), nullptr);
        ::LineTo(dc.get(), cell.right() + 1, cell.bottom());
      });
  ::SelectClipRgn(dc.get(), nullptr);
  ::BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, dc.get(), area.left,
           area.top, SRCCOPY);
}

void GridView::Impl::DrawCell(HDC dc, HDC source, int row, int column, const GridRect& cell) {
  const int kind = model_.columnKind(column);
  const bool fixed = model_.isFixed(row, column);
  const RECT rect = ToRect(cell);
  Fill(dc, rect, fixed ? kFixedBackground : kBodyBackground);
  const std::shared_ptr<GridModel::PictureSlot>& slot = model_.pictureSlot(row, column);
  if (kind == GridModel::kKindPicture && slot) {
    if (slot->decoded) {
      if (slot->picture && !slot->drawing) slot->drawing = MakeDrawing(*slot->picture);
      if (slot->drawing) {
        DrawPicture(dc, source, static_cast<WinPictureDrawing&>(*slot->drawing), model_.pictureMode(column),
                    rect);
      }
    } else if (!slot->decoding) {
      StartDecoding(slot);
    }
  }
  if (!fixed && kind == GridModel::kKindCheck) {
    const int side = std::min({13, cell.width - 2, cell.height - 2});
    if (side > 2) {
      const int left = cell.left + (cell.width - side) / 2;
      const int top = cell.top + (cell.height - side) / 2;
      Selected pen(dc, checkPen_.get());
      Selected brush(dc, ::GetStockObject(NULL_BRUSH));
      ::Rectangle(dc, left, top, left + side, top + side);
      if (model_.cellCheck(row, column)) {
        const int cx = left + side / 2;
        const int cy = top + side / 2;
        ::MoveToEx(dc, left + 2, cy, nullptr);
        ::LineTo(dc, cx, top + side - 3);
        ::LineTo(dc, left + side - 2, top + 1);
      }
    }
  }
  const bool showsText = fixed || (kind != GridModel::kKindPicture && kind != GridModel::kKindCheck);
  const std::string& text = model_.cellText(row, column);
  if (showsText && !text.empty()) {
    const std::wstring wide = ToWide(text);
    RECT inner{rect.left + 3, rect.top + 1, rect.right - 3, rect.bottom - 1};
    if (fixed) {
      ::DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &inner,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    } else {
      // Wrapped anywhere and centred as a block: measured first, then placed.
      const UINT flags = DT_LEFT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX;
      RECT measure = inner;
      const int textHeight =
          ::DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &measure, flags | DT_CALCRECT);
      const int free = (inner.bottom - inner.top) - textHeight;
      if (free > 0) inner.top += free / 2;
      SavedDc saved(dc);
      ::IntersectClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
      ::DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &inner, flags);
    }
  }
  if (row == model_.currentRow() && column == model_.currentColumn()) {
    Selected pen(dc, framePen_.get());
    Selected brush(dc, ::GetStockObject(NULL_BRUSH));
    ::Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
  }
}

// Pictures are decoded on the system's thread pool the first time they are to be drawn; the
// grid is repainted once one is in. A row that moved meanwhile took its slot along; one that
// went dropped it, and the result finds nothing.
void GridView::Impl::StartDecoding(const std::shared_ptr<GridModel::PictureSlot>& slot) {
  GridModel::DecodeJob job = model_.StartDecoding(slot);
  auto work = std::make_unique<DecodeWork>();
  work->bytes = job.bytes;
  std::weak_ptr<Impl*> view = self_;
  work->done = [view, slot = job.slot](std::shared_ptr<const platform::Picture> picture) {
    const std::shared_ptr<Impl*> alive = view.lock();
    if (!alive) return;
    Impl* self = *alive;
    if (self->model_.FinishDecoding(slot, std::move(picture)) && self->hwnd_) {
      ::InvalidateRect(self->hwnd_, nullptr, FALSE);
    }
  };
  if (::QueueUserWorkItem(DecodeOnPool, work.get(), WT_EXECUTEDEFAULT)) {
    work.release();  // the task owns it now
  } else {
    work->done(GridModel::Decode(*work->bytes));  // no pool: decoded here
  }
}

// ---- Menu and tips -----------------------------------------------------------------------

void GridView::Impl::ShowMenu(LPARAM lparam) {
  POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  int row = -1;
  if (at.x == -1 && at.y == -1) {  // the menu key: the current row
    row = model_.currentRow();
    POINT p{0, 0};
    if (row >= 0) {
      const GridRect cell = model_.cellRect(row, model_.currentColumn(), scroll_);
      p = POINT{cell.left + cell.width / 2, cell.top + cell.height / 2};
    }
    ::ClientToScreen(hwnd_, &p);
    at = p;
  } else {
    POINT client = at;
    ::ScreenToClient(hwnd_, &client);
    row = model_.cellAt(client.x, client.y, scroll_).first;
  }
  const std::vector<MenuEntry> entries = menuProvider_(row);
  PopUpMenu(hwnd_, entries, at);
}

void GridView::Impl::UpdateToolTip(int x, int y) {
  if (toolTip_ == nullptr) return;
  const int row = model_.cellAt(x, y, scroll_).first;
  if (row == toolTipRow_) return;
  toolTipRow_ = row;
  toolTipText_ = ToWide(model_.rowToolTip(row));
  // A tip of another row (or none) replaces the one shown.
  ::SendMessageW(toolTip_, TTM_POP, 0, 0);
  ::SendMessageW(toolTip_, TTM_ACTIVATE, toolTipText_.empty() ? FALSE : TRUE, 0);
}

// ---- GridView ----------------------------------------------------------------------------

GridView::GridView(HWND__* parent, int x, int y, int width, int height)
    : impl_(std::make_unique<Impl>(parent, x, y, width, height)) {}

GridView::~GridView() = default;

HWND__* GridView::hwnd() const { return impl_->hwnd_; }
GridModel& GridView::model() { return impl_->model_; }
GridScroll GridView::scroll() const { return impl_->scroll_; }
GridRect GridView::cellRect(int row, int column) const {
  return impl_->model_.cellRect(row, column, impl_->scroll_);
}
std::pair<int, int> GridView::cellAt(int x, int y) const {
  return impl_->model_.cellAt(x, y, impl_->scroll_);
}

void GridView::setLeftButtonReleasedHandler(std::function<void(int x, int y)> handler) {
  impl_->onRelease_ = std::move(handler);
}

void GridView::setContextMenuProvider(MenuProvider provider) { impl_->menuProvider_ = std::move(provider); }

}  // namespace ui
