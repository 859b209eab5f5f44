// A lookup of a 50-video question page against the local demo site, beside the floor: the
// same 101 addresses fetched one after another on one reused libcurl handle through the same
// proxy, once with libcurl's own headers and once with the header lines the lookup sends. The
// ratio shows what the program's own layers cost on top of the transfers.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/constants.h"
#include "app/look_up_videos.h"
#include "app/main_window.h"
#include "app/program.h"
#include "bench/demo_lookup_bench.h"
#include "bench/request_header_lines.h"
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

size_t Collect(char* data, size_t size, size_t n, void* out) {
  static_cast<std::string*>(out)->append(data, size * n);
  return size * n;
}

std::vector<std::string> FiftyPageAddresses() {
  const demo::DemoContent& content = g_env->site().content();
  const demo::DemoPage* page = content.FindPage(demo::kFiftyPagePath);
  std::vector<std::string> urls{std::string(app::kSiteHost) + demo::kFiftyPagePath};
  for (const std::string& id : page->ids) {
    urls.push_back(std::string(app::kVideoServiceAddress) + id);
    urls.push_back(content.FindVideo(id)->cover_url);
  }
  return urls;
}

void BM_LookUpFiftyVideos(benchmark::State& state) {
  bench_support::LoadMainWindowWithPage(demo::kFiftyPagePath);
  for (auto _ : state) {
    int32_t given = 0;
    app::LookUpVideos(0, nullptr, &given);
  }
  state.counters["rows"] = grid::RowCount({app::kMainWindowId, app::k高级表格1});
  ui::DestroyWindow(app::kMainWindowId);
}

// The floor. With `sameHeaders` each request carries the header lines the lookup sends, so
// that the demo site reads the same requests from both; without, libcurl's own (Host, Accept).
void CurlFloorFiftyVideos(benchmark::State& state, bool sameHeaders) {
  const std::vector<std::string> urls = FiftyPageAddresses();
  std::vector<curl_slist*> lines;
  for (const std::string& url : urls) {
    lines.push_back(sameHeaders ? bench_support::WebRequestHeaderLines(app::kRequestHeaderLine, url)
                                : nullptr);
  }
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_PROXY, g_env->ProxyUrl().c_str());
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
  size_t bytes = 0;
  for (auto _ : state) {
    for (size_t i = 0; i < urls.size(); ++i) {
      std::string body;
      curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
      curl_easy_setopt(curl, CURLOPT_URL, urls[i].c_str());
      curl_easy_setopt(curl, CURLOPT_HTTPHEADER, lines[i]);
      curl_easy_perform(curl);
      bytes += body.size();
    }
  }
  state.counters["requests"] = static_cast<double>(urls.size());
  benchmark::DoNotOptimize(bytes);
  curl_easy_cleanup(curl);
  for (curl_slist* l : lines) curl_slist_free_all(l);
}

void BM_CurlFloorFiftyVideos(benchmark::State& state) { CurlFloorFiftyVideos(state, false); }
void BM_CurlFloorFiftyVideosSameHeaders(benchmark::State& state) { CurlFloorFiftyVideos(state, true); }

BENCHMARK(BM_LookUpFiftyVideos)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CurlFloorFiftyVideos)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CurlFloorFiftyVideosSameHeaders)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) { return bench_support::RunWithDemoSite(argc, argv, &g_env); }
