// The clipboard's text format, as the runtime's clipboard command uses it: texts travel as code
// page 936 bytes and are converted to the toolkit's UTF-16 at this boundary.
//
// Thread contract: the clipboard belongs to the GUI thread; from any other thread (or without a
// running toolkit) it cannot be opened and the calls fail.
#ifndef PLATFORM_CLIPBOARD_H_
#define PLATFORM_CLIPBOARD_H_

#include <string>
#include <string_view>

namespace platform {

// Empties the clipboard and puts the text on it. False, with the clipboard unchanged, when it
// cannot be opened; false, with the clipboard left empty, when the copy for it cannot be made.
bool SetClipboardText(std::string_view gbkText);
// The clipboard's text as code page 936 bytes; empty when there is none or it cannot be opened.
std::string ClipboardText();

// Test hook: makes the next calls fail at the given step, as an unavailable clipboard or an
// exhausted heap would (neither can be brought about on demand otherwise).
enum class ClipboardFailure { kNone, kOpen, kAllocate };
void SetClipboardFailureForTesting(ClipboardFailure failure);

}  // namespace platform

#endif  // PLATFORM_CLIPBOARD_H_
