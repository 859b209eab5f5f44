#include "app/command_line.h"

#include "app/main_window.h"
#include "platform/codepage.h"
#include "platform/event_loop.h"
#include "runtime/helper_interface.h"
#include "runtime/window_system.h"
#include "ui/event_dispatch.h"

namespace app {

std::string AddressArgument(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (argv[i] != nullptr && argv[i][0] != '\0' && argv[i][0] != '-') return argv[i];
  }
  return std::string();
}

bool LookUpAtStart(const std::string& address) {
  if (address.empty()) return false;
  // The field holds texts in the program's code page.
  std::string text = platform::Utf8ToGbk(address);
  return platform::PostToGuiThread([text] {
    if (!rt::IsProgramWindowLive(kMainWindowId)) return;
    rt::Helpers().SetUnitProperty(kMainWindowId, k编辑框2, kTextProperty, -1,
                                  static_cast<int64_t>(reinterpret_cast<intptr_t>(text.c_str())));
    // What a click on "解析" raises: the lookup runs here, the window alive meanwhile.
    ui::RaiseEvent(kMainWindowId, k按钮1, kButtonClickedEvent);
  });
}

}  // namespace app
