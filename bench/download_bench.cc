// One 200 MB download from a loopback server through the main window's downloads (the
// lookup's request lines, the request engine, the part file written on the transfer loop's
// thread, the rename, the downloads window open and refreshing) against `curl -o` of the same
// address, in one run. While the program downloads, a 10 ms timer on the GUI thread records the
// longest gap between its ticks: how long the window's event loop ever stood still.
//
// At the end it prints the ratio of the median wall times and the longest gap. Target: at most
// 1.1 times curl's time, and no gap over 50 ms.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/download_commands.h"
#include "app/main_window.h"
#include "app/program.h"
#include "download/download_manager.h"
#include "download/window_downloads.h"
#include "platform/event_loop.h"
#include "runtime/application.h"
#include "runtime/dll_commands.h"
#include "runtime/libraries.h"
#include "tests/support/file_server.h"
#include "ui/window_manager.h"

extern char** environ;

namespace {

constexpr int64_t kLength = int64_t{200} * 1024 * 1024;
constexpr char kPath[] = "/video-200mb.mp4";

testing_support::FileServer* g_server = nullptr;
QTemporaryDir* g_dir = nullptr;
std::vector<double> g_ours, g_curl;
double g_longestGapMs = 0;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

void BM_Download(benchmark::State& state) {
  download::WindowDownloads* downloads = download::WindowDownloads::Of(app::kMainWindowId);
  const std::string target =
      QFile::encodeName(QDir(g_dir->path()).filePath(QStringLiteral("ours.mp4"))).toStdString();
  double longest = 0;
  for (auto _ : state) {
    unlink(target.c_str());
    QElapsedTimer sinceTick;
    double gap = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      gap = std::max(gap, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
      sinceTick.restart();
    });
    QEventLoop loop;
    const Clock::time_point start = Clock::now();
    download::Download* d = downloads->Add(app::DownloadOrderFor(g_server->url(kPath)), target, true);
    const int listener =
        downloads->manager().AddListener({nullptr, [&](int) {
                                            if (d->state() != download::Download::State::kRunning)
                                              loop.quit();
                                          }});
    sinceTick.start();
    ticker.start(10);
    if (d->state() == download::Download::State::kRunning) loop.exec();
    const double seconds = Seconds(start);
    ticker.stop();
    downloads->manager().RemoveListener(listener);
    if (d->state() != download::Download::State::kDone ||
        QFileInfo(QString::fromStdString(target)).size() != kLength) {
      state.SkipWithError("the download did not complete");
      return;
    }
    state.SetIterationTime(seconds);
    g_ours.push_back(seconds);
    longest = std::max(longest, gap);
  }
  g_longestGapMs = std::max(g_longestGapMs, longest);
  state.counters["longest_gap_ms"] = longest;
  state.SetBytesProcessed(state.iterations() * kLength);
}

void BM_CurlCommand(benchmark::State& state) {
  const std::string target =
      QFile::encodeName(QDir(g_dir->path()).filePath(QStringLiteral("curl.mp4"))).toStdString();
  const std::string url = g_server->url(kPath);
  for (auto _ : state) {
    unlink(target.c_str());
    const char* argv[] = {"curl", "-s", "-o", target.c_str(), url.c_str(), nullptr};
    const Clock::time_point start = Clock::now();
    pid_t pid = 0;
    int status = 0;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, const_cast<char**>(argv), environ) != 0 ||
        waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("curl failed (is the curl command installed?)");
      return;
    }
    const double seconds = Seconds(start);
    if (QFileInfo(QString::fromStdString(target)).size() != kLength) {
      state.SkipWithError("curl's file has the wrong length");
      return;
    }
    state.SetIterationTime(seconds);
    g_curl.push_back(seconds);
  }
  state.SetBytesProcessed(state.iterations() * kLength);
}

BENCHMARK(BM_Download)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_CurlCommand)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  unsetenv("http_proxy");  // the server is on loopback: no proxy between, for both
  unsetenv("HTTP_PROXY");
  platform::GuiApplication gui(argc, argv);
  ui::InstallWindowSystem();
  rt::KernelLibrary().notify(rt::kLibraryNotifyStart, reinterpret_cast<intptr_t>(&rt::NotifyRuntime), 0);
  platform::CreateHiddenOwner(nullptr);
  const rt::ProgramHeader& p = app::ProgramDescription();
  rt::InitDllCommands(p.dllCommands, p.dllCommandCount);
  ui::LoadTemplates(p.windowData, p.windowLength, p.routines, p.routineCount);
  ui::LoadWindow(app::kMainWindowId);

  testing_support::FileServer server;
  server.Serve(kPath, kLength);
  QTemporaryDir dir;  // beside the system's temporary files; both write there
  g_server = &server;
  g_dir = &dir;

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const double ours = Median(g_ours), curl = Median(g_curl);
  if (ours > 0 && curl > 0) {
    std::printf("download / curl -o (median wall time): %.1f ms / %.1f ms = %.3f (target 1.1)\n", ours * 1e3,
                curl * 1e3, ours / curl);
    std::printf("longest gap of the GUI thread's 10 ms timer while downloading: %.1f ms (target 50)\n",
                g_longestGapMs);
  }
  ui::DestroyWindow(app::kMainWindowId);
  g_server = nullptr;
  g_dir = nullptr;
  return 0;
}
