#include "platform/com/automation.h"

namespace platform::com {

void RegisterAdodbStreamClass() {}

}  // namespace platform::com
