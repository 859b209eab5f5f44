// grid_fill_timing: the result grid filled with 500 rows with covers, as a lookup fills it, and
// painted page by page to its end, on the view of the build's platform: the toolkit's widget on
// Linux (offscreen), the GDI view on Windows (under Wine, WM_PRINTCLIENT into a DIB section). A
// plain program, so that both builds print the same figures.
//   grid_fill_timing [RUNS]    (default 5)
// Per run, in milliseconds: filling the rows; the first page drawn with its covers in (the first
// paint sends them to be decoded, the next draws them); every page to the end, each with its
// covers in; and one more paint of a page whose covers are in and scaled already. Then the medians.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/event_loop.h"
#include "tests/support/bmp_samples.h"
#include "ui/grid_model.h"

#if defined(_WIN32)
#include <windows.h>

#include "ui/win/grid_view.h"
#else
#include <QScrollBar>

#include "ui/qt/grid_widget.h"
#endif

namespace {

constexpr int kRows = 500;
constexpr int kWidth = 776;  // the main window's grid
constexpr int kHeight = 560;

using Clock = std::chrono::steady_clock;
double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

#if defined(_WIN32)
// The GDI view, drawn into a DIB section as the screen would be.
class Grid {
 public:
  Grid() : view_(nullptr, 0, 0, kWidth, kHeight) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dib_ = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    dc_ = ::CreateCompatibleDC(nullptr);
    old_ = ::SelectObject(dc_, dib_);
  }
  ~Grid() {
    ::SelectObject(dc_, old_);
    ::DeleteDC(dc_);
    ::DeleteObject(dib_);
  }
  ui::GridModel& model() { return view_.model(); }
  void Paint() {
    ::SendMessageW(view_.hwnd(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc_), PRF_CLIENT);
    ::GdiFlush();
  }
  bool PageDown() {
    const int before = view_.scroll().y;
    ::SendMessageW(view_.hwnd(), WM_VSCROLL, SB_PAGEDOWN, 0);
    return view_.scroll().y != before;
  }
  void ScrollToTop() { ::SendMessageW(view_.hwnd(), WM_VSCROLL, SB_TOP, 0); }

 private:
  ui::GridView view_;
  HBITMAP dib_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
};
#else
// The toolkit's widget, grabbed as the screen would show it.
class Grid {
 public:
  Grid() { widget_.resize(kWidth, kHeight); }
  ui::GridModel& model() { return widget_.model(); }
  void Paint() { widget_.viewport()->grab(); }
  bool PageDown() {
    const int before = widget_.verticalScrollBar()->value();
    widget_.verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    return widget_.verticalScrollBar()->value() != before;
  }
  void ScrollToTop() { widget_.verticalScrollBar()->setValue(0); }

 private:
  ui::GridWidget widget_;
};
#endif

// Paints, lets the covers sent to be decoded arrive, and paints them.
void PaintWithCovers(Grid& grid) {
  grid.Paint();
  while (grid.model().picturesDecoding() > 0) platform::WaitForEvents(5);
  grid.Paint();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
#if !defined(_WIN32)
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  char runtimeDir[] = "/tmp/wl-timing-XXXXXX";  // mkdtemp makes it private
  if (getenv("XDG_RUNTIME_DIR") == nullptr && mkdtemp(runtimeDir) != nullptr)
    setenv("XDG_RUNTIME_DIR", runtimeDir, 1);
#endif
  int one = 1;
  platform::GuiApplication gui(one, argv);
  // Covers as the demo serves them in size: 320 by 180, eight colours in turn.
  std::vector<std::string> covers;
  for (uint32_t i = 0; i < 8; ++i) {
    covers.push_back(testing_support::BmpFile(320, 180, [i](int x, int y) {
      return ((x * 255 / 320) << 16 | (y * 255 / 180) << 8 | i * 32) & 0xFFFFFF;
    }));
  }
  std::vector<double> fill, first, pages, repaint;
  for (int run = 0; run < runs; ++run) {
    Grid grid;
    ui::GridModel& m = grid.model();
    Clock::time_point t = Clock::now();
    m.Reset(1, 5, 1, 1, 24, 60);
    m.setColumnKind(1, ui::GridModel::kKindPicture);
    m.setColumnWidth(1, 100);
    for (int r = 1; r <= kRows; ++r) {
      m.insertRow(std::to_string(r), std::nullopt);
      m.setRowHeight(r, 100);
      m.setCellPicture(r, 1, covers[r % covers.size()]);
      m.setCellText(r, 2, "https://video.example/hd/a.mp4||https://video.example/sd/a.mp4||");
      m.setCellText(r, 3, "a title of about the usual length");
    }
    fill.push_back(Ms(Clock::now() - t));
    t = Clock::now();
    PaintWithCovers(grid);
    first.push_back(Ms(Clock::now() - t));
    t = Clock::now();
    while (grid.PageDown()) PaintWithCovers(grid);
    pages.push_back(Ms(Clock::now() - t));
    grid.ScrollToTop();
    grid.Paint();
    t = Clock::now();
    for (int i = 0; i < 20; ++i) grid.Paint();
    repaint.push_back(Ms(Clock::now() - t) / 20);
    std::printf("run %d: fill %.1f ms, first page %.1f ms, every page %.1f ms, repaint %.2f ms\n", run + 1,
                fill.back(), first.back(), pages.back(), repaint.back());
  }
  std::printf("median: fill %.1f ms, first page %.1f ms, every page %.1f ms, repaint %.2f ms\n", Median(fill),
              Median(first), Median(pages), Median(repaint));
  return 0;
}
