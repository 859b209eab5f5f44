// Shared frame of the lookup benchmarks: the toolkit under the offscreen platform, the window
// system, the demo site behind its proxy, and the main window loaded with a page address.
#ifndef BENCH_DEMO_LOOKUP_BENCH_H_
#define BENCH_DEMO_LOOKUP_BENCH_H_

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "app/constants.h"
#include "app/main_window.h"
#include "app/program.h"
#include "demo/demo_site.h"
#include "platform/event_loop.h"
#include "runtime/application.h"
#include "runtime/dll_commands.h"
#include "runtime/helper_interface.h"
#include "runtime/libraries.h"
#include "ui/window_manager.h"

namespace bench_support {

// Loads the main window with `path` on the site's host in 编辑框2.
inline void LoadMainWindowWithPage(const char* path) {
  const rt::ProgramHeader& p = app::ProgramDescription();
  rt::InitDllCommands(p.dllCommands, p.dllCommandCount);
  ui::LoadTemplates(p.windowData, p.windowLength, p.routines, p.routineCount);
  ui::LoadWindow(app::kMainWindowId);
  const std::string address = std::string(app::kSiteHost) + path;
  rt::Helpers().SetUnitProperty(app::kMainWindowId, app::k编辑框2, app::kTextProperty, -1,
                                static_cast<int64_t>(reinterpret_cast<intptr_t>(address.c_str())));
}

// Runs the registered benchmarks with the demo site up; `*env` points at it meanwhile.
inline int RunWithDemoSite(int argc, char** argv, demo::DemoEnvironment** env) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  platform::GuiApplication gui(argc, argv);
  ui::InstallWindowSystem();
  rt::KernelLibrary().notify(rt::kLibraryNotifyStart, reinterpret_cast<intptr_t>(&rt::NotifyRuntime), 0);
  platform::CreateHiddenOwner(nullptr);
  demo::DemoEnvironment site;
  if (!site.Start()) return 1;
  *env = &site;
  demo::ProxyVariables proxy(site.ProxyUrl());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  site.Stop();
  *env = nullptr;
  return 0;
}

}  // namespace bench_support

#endif  // BENCH_DEMO_LOOKUP_BENCH_H_
