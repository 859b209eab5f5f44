// Windows keeps the program's own classes too: the system's ScriptControl, Adodb.Stream and
// WinHttp.WinHttpRequest are not on every system, and Wine's are incomplete.
#include "platform/com/builtin_classes.h"

#include "platform/http/winhttp_request.h"

namespace platform::com {

void AddPlatformClasses() {
  RegisterScriptControlClass();
  RegisterAdodbStreamClass();
  http::RegisterWinHttpRequestClass();
}

}  // namespace platform::com
