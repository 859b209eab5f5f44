#include "platform/c_locale.h"

#include <locale.h>

namespace platform {

CLocaleScope::CLocaleScope() {
  static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  if (c) previous_ = uselocale(c);
}

CLocaleScope::~CLocaleScope() {
  if (previous_) uselocale(static_cast<locale_t>(previous_));
}

}  // namespace platform
