// The downloads window under a long list: 500 downloads added at once with the window open (as
// "全部下载…" of 500 rows does: three start, the rest wait), painted; and one refresh tick of
// such a 500-line list (the running lines measured and repainted). Against a loopback server
// whose answers stall at half, so that the list stays as it is while it is measured.
//
// Targets: adding under 300 ms, a tick under 5 ms.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "download/download_manager.h"
#include "download/qt/downloads_window.h"
#include "platform/event_loop.h"
#include "tests/support/file_server.h"

namespace {

constexpr int kLines = 500;
constexpr int64_t kLength = 8 * 1024 * 1024;
constexpr char kPath[] = "/stall.mp4";

testing_support::FileServer* g_server = nullptr;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// A list of kLines downloads into a folder of their own, shown by an open window.
struct Fixture {
  QTemporaryDir dir;
  std::unique_ptr<download::DownloadManager> manager = std::make_unique<download::DownloadManager>();
  std::unique_ptr<download::QtDownloadsWindow> window;

  Fixture() {
    window = std::make_unique<download::QtDownloadsWindow>(manager.get(), nullptr);
    window->show();
    QApplication::processEvents();
  }
  ~Fixture() {
    window.reset();
    manager.reset();  // aborts the running transfers
  }
  void AddAll() {
    download::DownloadOrder order;
    order.address = g_server->url(kPath);
    const std::string folder = QFile::encodeName(dir.path()).toStdString();
    for (int i = 0; i < kLines; ++i) manager->Add(order, folder + "/v" + std::to_string(i) + ".mp4", false);
    QApplication::processEvents();  // the view lays out and paints what it shows
  }
};

void BM_Add500WithTheWindowOpen(benchmark::State& state) {
  for (auto _ : state) {
    Fixture f;
    const Clock::time_point start = Clock::now();
    f.AddAll();
    state.SetIterationTime(Seconds(start));
    if (f.window->lineCount() != kLines || f.manager->runningCount() != download::DownloadManager::kMaxRunning) {
      state.SkipWithError("the list is not as expected");
      return;
    }
  }
}

void BM_RefreshTickOf500Lines(benchmark::State& state) {
  Fixture f;
  f.AddAll();
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    f.window->Tick();
    QApplication::processEvents();  // the repaint the tick asked for
    state.SetIterationTime(Seconds(start));
  }
}

BENCHMARK(BM_Add500WithTheWindowOpen)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_RefreshTickOf500Lines)->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(200);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  unsetenv("http_proxy");  // the server is on loopback
  unsetenv("HTTP_PROXY");
  platform::GuiApplication gui(argc, argv);
  testing_support::FileServer server;
  server.Serve(kPath, kLength, testing_support::FileServer::kStallAtHalf);
  g_server = &server;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_server = nullptr;
  return 0;
}
