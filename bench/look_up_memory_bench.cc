// Memory of a 500-video lookup against the local demo site: the process's resident set before
// the first lookup, after each lookup, and its peak (getrusage). Repeated lookups of the same
// page replace the grid's rows, so the resident set after the second and third run should not
// climb above the first: a climb would be a leak or a runaway cache.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/constants.h"
#include "app/look_up_videos.h"
#include "app/main_window.h"
#include "app/program.h"
#include "bench/demo_lookup_bench.h"
#include "demo/demo_content.h"
#include "demo/demo_site.h"
#include "platform/event_loop.h"
#include "runtime/application.h"
#include "runtime/dll_commands.h"
#include "runtime/helper_interface.h"
#include "runtime/libraries.h"
#include "ui/grid_commands.h"
#include "ui/window_manager.h"

namespace {

demo::DemoEnvironment* g_env = nullptr;

double PeakMegabytes() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

double ResidentMegabytes() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void BM_LookUpFiveHundredVideosMemory(benchmark::State& state) {
  bench_support::LoadMainWindowWithPage(demo::kBigListPagePath);
  state.counters["rss_before_MB"] = ResidentMegabytes();
  int run = 0;
  for (auto _ : state) {
    int32_t given = 0;
    app::LookUpVideos(0, nullptr, &given);
    g_env->site().ClearRequests();  // the site's request log lives in this process too
    state.counters["rss_after_run" + std::to_string(++run) + "_MB"] = ResidentMegabytes();
  }
  state.counters["rows"] = grid::RowCount({app::kMainWindowId, app::k高级表格1}) - 1;
  state.counters["peak_rss_MB"] = PeakMegabytes();
  ui::DestroyWindow(app::kMainWindowId);
}

BENCHMARK(BM_LookUpFiveHundredVideosMemory)->Iterations(8)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) { return bench_support::RunWithDemoSite(argc, argv, &g_env); }
