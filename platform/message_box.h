// The message box of the error report: no owner, a caption, the error icon, one OK button.
//
// Thread contract: GUI thread, or any thread when a hook is installed.
#ifndef PLATFORM_MESSAGE_BOX_H_
#define PLATFORM_MESSAGE_BOX_H_

#include <functional>
#include <string>

namespace platform {

// Shows the text (code page 936) and returns when the user closes the box. Without a
// running toolkit the text goes to standard error instead.
void MessageBoxA(const std::string& text, const std::string& caption);

// Replaces the box, for tests that read the report's text. An empty function restores it.
using MessageBoxHook = std::function<void(const std::string& text, const std::string& caption)>;
void SetMessageBoxHook(MessageBoxHook hook);

}  // namespace platform

#endif  // PLATFORM_MESSAGE_BOX_H_
