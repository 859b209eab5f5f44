// The C locale for the calling thread, for formatting that must not follow the user's locale
// (a decimal point, never a comma).
//
// Thread contract: affects the calling thread only; a scope ends on the thread that began it.
#ifndef PLATFORM_C_LOCALE_H_
#define PLATFORM_C_LOCALE_H_

#include <string>

namespace platform {

// Switches the calling thread to the C locale for the life of the object.
class CLocaleScope {
 public:
  CLocaleScope();
  ~CLocaleScope();
  CLocaleScope(const CLocaleScope&) = delete;
  CLocaleScope& operator=(const CLocaleScope&) = delete;

 private:
  void* previous_ = nullptr;  // the thread's locale object, where the system has them
  std::string previousName_;  // the thread's locale by name, where it has not
  int previousMode_ = 0;
};

}  // namespace platform

#endif  // PLATFORM_C_LOCALE_H_
