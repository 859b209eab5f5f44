// lookup_sequence_timing: times the lookup's request sequence without windows (see
// tests/support/lookup_sequence.h) against a running demo site, reached through the proxy that
// WL_DEMO_PROXY names. A plain program, so that the Windows build (without Google Benchmark)
// and the Linux build print the same figures; scripts/bench_lookup_windows.sh runs both.
//   lookup_sequence_timing [PAGE_PATH] [RUNS]    (defaults: the 50-video page, 5 runs)
// Prints one line per run and the median, in milliseconds; exits 1 when a run is incomplete.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/constants.h"
#include "app/program.h"
#include "platform/com/automation.h"
#include "platform/event_loop.h"
#include "runtime/dll_commands.h"
#include "tests/support/lookup_sequence.h"

namespace {

void SetVariable(const char* name, const char* value) {
#if defined(_WIN32)
  _putenv_s(name, value);
#else
  setenv(name, value, 1);
#endif
}

}  // namespace

int main(int argc, char** argv) {
  // Copied: setting a variable may move the environment that getenv's answer points into.
  const char* proxyVariable = std::getenv("WL_DEMO_PROXY");
  if (proxyVariable == nullptr) {
    std::fprintf(stderr, "lookup_sequence_timing: WL_DEMO_PROXY (the demo's proxy address) is not set\n");
    return 2;
  }
  const std::string proxyText = proxyVariable;
  const char* proxy = proxyText.c_str();
  const std::string path = argc > 1 ? argv[1] : "/question/100000050";
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  SetVariable("https_proxy", proxy);
  SetVariable("http_proxy", proxy);
#if !defined(_WIN32)
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Keeps the toolkit quiet about a missing runtime folder (mkdtemp makes it private).
  char runtimeDir[] = "/tmp/wl-timing-XXXXXX";
  if (getenv("XDG_RUNTIME_DIR") == nullptr && mkdtemp(runtimeDir) != nullptr)
    setenv("XDG_RUNTIME_DIR", runtimeDir, 1);
#endif
  int one = 1;
  platform::GuiApplication gui(one, argv);
  const rt::ProgramHeader& program = app::ProgramDescription();
  rt::InitDllCommands(program.dllCommands, program.dllCommandCount);
  platform::com::RegisterBuiltinClasses();

  const std::string address = std::string(app::kSiteHost) + path;
  std::vector<double> times;
  for (int run = 1; run <= runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    testing_support::LookupResult result = testing_support::RunLookupSequence(address, 60);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (!result.complete) {
      std::fprintf(stderr, "lookup_sequence_timing: run %d incomplete after %.0f ms\n", run, ms);
      return 1;
    }
    std::printf("run %d: %zu rows in %.0f ms\n", run, result.rows.size(), ms);
    times.push_back(ms);
  }
  std::sort(times.begin(), times.end());
  std::printf("median %.0f ms, min %.0f ms, max %.0f ms over %d runs of %s\n", times[times.size() / 2],
              times.front(), times.back(), runs, path.c_str());
  return 0;
}
