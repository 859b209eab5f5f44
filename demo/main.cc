// videolens-demo: starts the demo site and its proxy on loopback and stays up until it is
// stopped (SIGINT or SIGTERM). The proxy's port goes to standard output (the first line) and,
// with --port-file F, into F; the demo's pages follow. --latency MS holds every response back
// by MS milliseconds, as a slow network would.
//   videolens-demo [--port N] [--port-file F] [--latency MS]
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "demo/demo_options.h"
#include "demo/demo_site.h"

int main(int argc, char** argv) {
  demo::DemoOptions options;
  std::string error;
  if (!demo::ParseDemoOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error)) {
    std::fprintf(stderr, "videolens-demo: %s\n%s\n", error.c_str(), demo::DemoUsage(argv[0]).c_str());
    return 2;
  }
  const std::string& port_file = options.port_file;
  // The signals are taken synchronously below, so every thread started from here on blocks them.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  demo::DemoEnvironment demo;
  if (!demo.Start(options.port, options.latency_ms)) {
    std::fprintf(stderr, "videolens-demo: cannot start the demo site or its proxy\n");
    return 1;
  }
  std::printf("videolens-demo: proxy on 127.0.0.1:%u (site: https %u, http %u)\n", demo.proxy_port(),
              demo.site().https_port(), demo.site().http_port());
  std::printf("Try: https_proxy=%s http_proxy=%s videolens\n", demo.ProxyUrl().c_str(),
              demo.ProxyUrl().c_str());
  std::printf("Every response waits %d ms (--latency MS to change).\n", options.latency_ms);
  std::printf("The demo's pages (put an address into the program's address field):\n%s",
              demo.site().content().PageList().c_str());
  std::fflush(stdout);
  if (!port_file.empty()) {
    // Written under a temporary name and renamed, so a reader never sees half a port.
    std::string temporary = port_file + ".tmp";
    {
      std::ofstream out(temporary, std::ios::trunc);
      out << demo.proxy_port() << "\n";
      if (!out) {
        std::fprintf(stderr, "videolens-demo: cannot write %s\n", temporary.c_str());
        return 1;
      }
    }
    if (std::rename(temporary.c_str(), port_file.c_str()) != 0) {
      std::fprintf(stderr, "videolens-demo: cannot write %s\n", port_file.c_str());
      return 1;
    }
  }
  int received = 0;
  sigwait(&stop_signals, &received);
  demo.Stop();
  std::printf("videolens-demo: stopped (%s)\n", strsignal(received));
  return 0;
}
