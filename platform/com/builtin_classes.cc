#include "platform/com/builtin_classes.h"

#include "platform/http/winhttp_request.h"

namespace platform::com {

void AddPlatformClasses() {
  RegisterScriptControlClass();
  RegisterAdodbStreamClass();
  http::RegisterWinHttpRequestClass();
}

}  // namespace platform::com
