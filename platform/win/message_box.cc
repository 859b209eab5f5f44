// The message box over user32. Without the application object (no GUI thread to own a box)
// the report goes to standard error, as on Linux.
#include "platform/message_box.h"

#include <windows.h>

#include <cstdio>

#include "platform/codepage.h"
#include "platform/win/message_window.h"

namespace platform {
namespace {
MessageBoxHook& Hook() {
  static MessageBoxHook hook;
  return hook;
}
}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) { Hook() = std::move(hook); }

void MessageBoxA(const std::string& text, const std::string& caption) {
  if (Hook()) {
    Hook()(text, caption);
    return;
  }
  if (win::MessageWindow() == nullptr) {
    std::fprintf(stderr, "%s\n%s\n", GbkToUtf8(caption).c_str(), GbkToUtf8(text).c_str());
    return;
  }
  std::u16string wideText = ToUtf16(kCodePageGbk, text);
  std::u16string wideCaption = ToUtf16(kCodePageGbk, caption);
  ::MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(wideText.c_str()),
                reinterpret_cast<const wchar_t*>(wideCaption.c_str()), MB_OK | MB_ICONERROR);
}

}  // namespace platform
