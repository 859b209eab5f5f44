// The C runtime on Windows has no per-thread locale objects to switch to: the thread is given a
// locale of its own and set to "C" by name, and both are restored at the end.
#include "platform/c_locale.h"

#include <locale.h>

#include <clocale>

namespace platform {

CLocaleScope::CLocaleScope() : previousMode_(_configthreadlocale(_ENABLE_PER_THREAD_LOCALE)) {
  if (const char* name = std::setlocale(LC_ALL, nullptr)) previousName_ = name;
  std::setlocale(LC_ALL, "C");
}

CLocaleScope::~CLocaleScope() {
  if (!previousName_.empty()) std::setlocale(LC_ALL, previousName_.c_str());
  _configthreadlocale(previousMode_);
}

}  // namespace platform
