// Process start: the toolkit's application object, then the application entry routine,
// then the end processing.
#include "app/program.h"
#include "platform/event_loop.h"
#include "runtime/application.h"

int main(int argc, char** argv) {
  platform::GuiApplication gui(argc, argv);
  int result = rt::RunApplication(app::ProgramDescription());
  rt::RunEndProcessing(result);
  return result;
}
