#include "platform/com/automation.h"

namespace platform::com {

void RegisterScriptControlClass() {}

}  // namespace platform::com
