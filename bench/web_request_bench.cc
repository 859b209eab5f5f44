// 200 consecutive GETs to a loopback HTTPS server through WebRequest (a new request object
// per call, as the application makes them), against the same 200 GETs on one reused libcurl
// handle, the floor; between them the request engine alone, one new engine per GET. Prints
// the ratios of real and CPU time to the floor, once for a floor that sends libcurl's own
// headers and once for one that sends the same header lines as WebRequest. On a shared
// machine the steadier figures come from short interleaved repetitions:
//   web_request_bench --benchmark_min_time=0.2 --benchmark_repetitions=15
//                     --benchmark_enable_random_interleaving=true
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstdio>
#include <map>
#include <string>

#include "app/program.h"
#include "bench/request_header_lines.h"
#include "net/web_request.h"
#include "platform/com/automation.h"
#include "platform/http/http_engine.h"
#include "runtime/dll_commands.h"
#include "tests/support/local_servers.h"

namespace {

constexpr int kRequests = 200;

testing_support::LocalServer& Server() {
  static testing_support::LocalServer* server = [] {
    auto* s = new testing_support::LocalServer(true);
    (*s)->set_keep_alive_max_count(100000);
    (*s)->set_keep_alive_timeout(30);
    (*s)->set_tcp_nodelay(true);
    static const std::string page(4096, 'x');
    (*s)->Get("/page",
              [](const httplib::Request&, httplib::Response& res) { res.set_content(page, "text/html"); });
    s->Start();
    return s;
  }();
  return *server;
}

void BM_WebRequest(benchmark::State& state) {
  const std::string url = Server().url("/page");
  size_t bytes = 0;
  for (auto _ : state) {
    for (int i = 0; i < kRequests; ++i) {
      int32_t status = 0;
      rt::ByteSet body =
          net::WebRequest(url, std::nullopt, std::nullopt, nullptr, nullptr, nullptr, nullptr, &status);
      if (status != 200) state.SkipWithError("request failed");
      bytes += body.size();
    }
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}

void BM_EnginePerRequest(benchmark::State& state) {
  const std::string url = Server().url("/page");
  size_t bytes = 0;
  for (auto _ : state) {
    for (int i = 0; i < kRequests; ++i) {
      ::platform::http::HttpEngine engine;
      engine.SetCertificateErrorMask(::platform::http::kIgnoreAllCertErrors);
      if (!engine.Open("GET", url) || !engine.Send("") || engine.status() != 200) {
        state.SkipWithError("request failed");
      }
      bytes += engine.body().size();
    }
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}

size_t Collect(char* data, size_t size, size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

// The floor. With `sameHeaders` each GET carries the header lines WebRequest sends (its
// defaults, User-Agent among them), so that the server does the same work for both; without,
// libcurl's own two (Host, Accept).
void CurlReusedHandle(benchmark::State& state, bool sameHeaders) {
  const std::string url = Server().url("/page");
  CURL* h = curl_easy_init();
  std::string body;
  curl_slist* lines = sameHeaders ? bench_support::WebRequestHeaderLines("", url) : nullptr;
  if (sameHeaders) curl_easy_setopt(h, CURLOPT_HTTPHEADER, lines);
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
  curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Collect);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
  size_t bytes = 0;
  for (auto _ : state) {
    for (int i = 0; i < kRequests; ++i) {
      body.clear();
      long code = 0;
      if (curl_easy_perform(h) != CURLE_OK) state.SkipWithError("request failed");
      curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &code);
      if (code != 200) state.SkipWithError("request failed");
      bytes += body.size();
    }
  }
  state.counters["bytes"] = static_cast<double>(bytes);
  curl_easy_cleanup(h);
  curl_slist_free_all(lines);
}

void BM_CurlReusedHandle(benchmark::State& state) { CurlReusedHandle(state, false); }
void BM_CurlReusedHandleSameHeaders(benchmark::State& state) { CurlReusedHandle(state, true); }

BENCHMARK(BM_WebRequest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EnginePerRequest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CurlReusedHandle)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CurlReusedHandleSameHeaders)->Unit(benchmark::kMillisecond);

// Console output plus the ratios of real and CPU time to the floor. With repetitions
// (--benchmark_repetitions=N, best with --benchmark_enable_random_interleaving=true on a busy
// machine) the ratios are those of the medians.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median") continue;
      std::string name = r.run_name.function_name;
      times_[name] = {r.GetAdjustedRealTime(), r.GetAdjustedCPUTime()};
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n");
    for (const char* floorName : {"BM_CurlReusedHandle", "BM_CurlReusedHandleSameHeaders"}) {
      auto floor = times_.find(floorName);
      if (floor == times_.end() || floor->second.first <= 0) continue;
      for (const char* name : {"BM_WebRequest", "BM_EnginePerRequest"}) {
        auto it = times_.find(name);
        if (it == times_.end()) continue;
        std::printf("%s / %s, %d GETs: real %.2f, CPU %.2f\n", name, floorName + 3, kRequests,
                    it->second.first / floor->second.first, it->second.second / floor->second.second);
      }
    }
  }

 private:
  std::map<std::string, std::pair<double, double>> times_;
};

}  // namespace

int main(int argc, char** argv) {
  const rt::ProgramHeader& program = app::ProgramDescription();
  rt::InitDllCommands(program.dllCommands, program.dllCommandCount);
  platform::com::RegisterBuiltinClasses();
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
