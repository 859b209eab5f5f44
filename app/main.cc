// Process start: the toolkit's application object and the window system, then the application entry routine,
// then the end processing. An address on the command line is looked up once the window is up.
#include "app/command_line.h"
#include "app/program.h"
#include "platform/event_loop.h"
#include "runtime/application.h"
#include "ui/window_manager.h"

int main(int argc, char** argv) {
  platform::GuiApplication gui(argc, argv);
  ui::InstallWindowSystem();
  app::LookUpAtStart(app::AddressArgument(argc, argv));
  int result = rt::RunApplication(app::ProgramDescription());
  rt::RunEndProcessing(result);
  return result;
}
