// test-servers: the request engine's test servers (tests/support/scripted_servers.h) for tests
// that cannot host them, such as the Windows build's under Wine. Writes the ports, in the form
// WL_TEST_SERVERS takes, to the file given with --port-file (or to standard output) and serves
// until it is ended by a signal.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

#include "tests/support/scripted_server_set.h"

int main(int argc, char** argv) {
  const char* portFile = nullptr;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--port-file") == 0) portFile = argv[i + 1];
  }
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  // Blocked before any server thread starts, so that the signal comes to the wait below.
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  testing_support::ScriptedServerSet servers;
  if (servers.ports().http == 0) {
    std::cerr << "test-servers: the test certificate could not be made (openssl)\n";
    return 1;
  }
  std::string line = servers.ports().ToString();
  if (portFile != nullptr) {
    // Written whole under another name first: a reader never sees half a line.
    std::string temp = std::string(portFile) + ".part";
    std::ofstream(temp) << line << "\n";
    std::rename(temp.c_str(), portFile);
  } else {
    std::cout << line << std::endl;
  }
  int got = 0;
  sigwait(&signals, &got);
  return 0;
}
