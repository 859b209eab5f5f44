// Test entry: the GUI thread's application object (the toolkit's under its offscreen platform,
// on Linux), then the tests.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/event_loop.h"

int main(int argc, char** argv) {
#if !defined(_WIN32)
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Keeps the toolkit quiet, so that death tests read only what the program wrote.
  if (getenv("XDG_RUNTIME_DIR") == nullptr) {
    char dir[] = "/tmp/wl-tests-XXXXXX";  // mkdtemp makes it private (0700)
    if (mkdtemp(dir) != nullptr) setenv("XDG_RUNTIME_DIR", dir, 1);
  }
#endif
  ::testing::InitGoogleTest(&argc, argv);
  // The toolkit starts threads; death tests re-run the binary instead of forking them.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  platform::GuiApplication gui(argc, argv);
  return RUN_ALL_TESTS();
}
