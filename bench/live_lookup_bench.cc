// The lookup of the demo site's 50-video page on a slow network: every response of the demo
// site waits 100 ms (--latency=MS to change it), as across a real connection. Beside it the
// floor: the same 101 addresses fetched on a bare libcurl multi handle through the same proxy,
// with the lookup's dependencies (the page first, each cover after its description), the same
// limit of six connections per host, and the header lines the lookup sends. The ratio shows
// what the program's way of waiting costs on top of the network's round trips.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/constants.h"
#include "app/look_up_videos.h"
#include "app/main_window.h"
#include "bench/demo_lookup_bench.h"
#include "bench/request_header_lines.h"
#include "demo/demo_content.h"
#include "demo/demo_site.h"
#include "ui/grid_commands.h"
#include "ui/window_manager.h"

namespace {

demo::DemoEnvironment* g_env = nullptr;
int g_latencyMs = 100;

size_t Collect(char* data, size_t size, size_t n, void* out) {
  static_cast<std::string*>(out)->append(data, size * n);
  return size * n;
}

void BM_LookUpFiftyVideosOnASlowNetwork(benchmark::State& state) {
  g_env->site().SetLatency(g_latencyMs);
  bench_support::LoadMainWindowWithPage(demo::kFiftyPagePath);
  for (auto _ : state) {
    int32_t given = 0;
    app::LookUpVideos(0, nullptr, &given);
  }
  state.counters["rows"] = grid::RowCount({app::kMainWindowId, app::k高级表格1});
  state.counters["latency_ms"] = g_latencyMs;
  ui::DestroyWindow(app::kMainWindowId);
}

// One address of the floor and the handle that fetches it.
struct FloorTransfer {
  std::string url;
  curl_slist* lines = nullptr;
  CURL* handle = nullptr;
  std::string body;
};

void BM_MultiFloorFiftyVideosOnASlowNetwork(benchmark::State& state) {
  g_env->site().SetLatency(g_latencyMs);
  const demo::DemoContent& content = g_env->site().content();
  const demo::DemoPage* page = content.FindPage(demo::kFiftyPagePath);
  // [0] the page, then per video its description and its cover.
  std::vector<FloorTransfer> transfers(1 + 2 * page->ids.size());
  transfers[0].url = std::string(app::kSiteHost) + demo::kFiftyPagePath;
  for (size_t i = 0; i < page->ids.size(); ++i) {
    transfers[1 + 2 * i].url = std::string(app::kVideoServiceAddress) + page->ids[i];
    transfers[2 + 2 * i].url = content.FindVideo(page->ids[i])->cover_url;
  }
  for (FloorTransfer& t : transfers) {
    t.lines = bench_support::WebRequestHeaderLines(app::kRequestHeaderLine, t.url);
    t.handle = curl_easy_init();
    curl_easy_setopt(t.handle, CURLOPT_URL, t.url.c_str());
    curl_easy_setopt(t.handle, CURLOPT_HTTPHEADER, t.lines);
    curl_easy_setopt(t.handle, CURLOPT_PROXY, g_env->ProxyUrl().c_str());
    curl_easy_setopt(t.handle, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(t.handle, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(t.handle, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(t.handle, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(t.handle, CURLOPT_WRITEDATA, &t.body);
    curl_easy_setopt(t.handle, CURLOPT_PRIVATE, &t);
  }
  CURLM* multi = curl_multi_init();
  curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, 6L);
  size_t bytes = 0;
  for (auto _ : state) {
    for (FloorTransfer& t : transfers) t.body.clear();
    curl_multi_add_handle(multi, transfers[0].handle);
    size_t left = transfers.size();
    while (left > 0) {
      int running = 0;
      curl_multi_perform(multi, &running);
      int queued = 0;
      while (CURLMsg* m = curl_multi_info_read(multi, &queued)) {
        if (m->msg != CURLMSG_DONE) continue;
        FloorTransfer* t = nullptr;
        curl_easy_getinfo(m->easy_handle, CURLINFO_PRIVATE, &t);
        curl_multi_remove_handle(multi, m->easy_handle);
        --left;
        bytes += t->body.size();
        size_t index = static_cast<size_t>(t - transfers.data());
        if (index == 0) {
          // The page is in: every description may go (the per-host limit queues them).
          for (size_t i = 1; i < transfers.size(); i += 2) curl_multi_add_handle(multi, transfers[i].handle);
        } else if (index % 2 == 1) {
          curl_multi_add_handle(multi, transfers[index + 1].handle);  // its cover
        }
      }
      if (left > 0) curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
    }
  }
  state.counters["requests"] = static_cast<double>(transfers.size());
  state.counters["latency_ms"] = g_latencyMs;
  benchmark::DoNotOptimize(bytes);
  curl_multi_cleanup(multi);
  for (FloorTransfer& t : transfers) {
    curl_easy_cleanup(t.handle);
    curl_slist_free_all(t.lines);
  }
}

BENCHMARK(BM_LookUpFiftyVideosOnASlowNetwork)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MultiFloorFiftyVideosOnASlowNetwork)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  // --latency=MS is ours; everything else goes to the benchmark library.
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--latency=", 10) == 0) {
      g_latencyMs = std::atoi(argv[i] + 10);
    } else {
      rest.push_back(argv[i]);
    }
  }
  int count = static_cast<int>(rest.size());
  return bench_support::RunWithDemoSite(count, rest.data(), &g_env);
}
