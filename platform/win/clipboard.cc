// The clipboard over user32, in its Unicode text format (CF_UNICODETEXT); the message window is
// the clipboard's owner while the program's text is on it.
#include "platform/clipboard.h"

#include <windows.h>

#include <cstring>
#include <new>

#include "platform/codepage.h"
#include "platform/event_loop.h"
#include "platform/win/message_window.h"

namespace platform {
namespace {

ClipboardFailure g_failure = ClipboardFailure::kNone;

// Opens the clipboard for the GUI thread's window and closes it again.
class OpenClipboard {
 public:
  OpenClipboard()
      : open_(g_failure != ClipboardFailure::kOpen && CanWaitHandlingEvents() &&
              ::OpenClipboard(win::MessageWindow()) != 0) {}
  ~OpenClipboard() {
    if (open_) ::CloseClipboard();
  }
  OpenClipboard(const OpenClipboard&) = delete;
  OpenClipboard& operator=(const OpenClipboard&) = delete;
  bool open() const { return open_; }

 private:
  bool open_;
};

}  // namespace

void SetClipboardFailureForTesting(ClipboardFailure failure) { g_failure = failure; }

bool SetClipboardText(std::string_view gbkText) {
  OpenClipboard clipboard;
  if (!clipboard.open()) return false;
  ::EmptyClipboard();
  if (g_failure == ClipboardFailure::kAllocate) return false;
  std::u16string wide;
  try {
    wide = ToUtf16(kCodePageGbk, gbkText);
  } catch (const std::bad_alloc&) {
    return false;  // the clipboard stays empty
  }
  const size_t bytes = (wide.size() + 1) * sizeof(char16_t);
  HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (memory == nullptr) return false;
  void* to = ::GlobalLock(memory);
  if (to == nullptr) {
    ::GlobalFree(memory);
    return false;
  }
  std::memcpy(to, wide.c_str(), bytes);
  ::GlobalUnlock(memory);
  // On success the system owns the memory.
  if (::SetClipboardData(CF_UNICODETEXT, memory) == nullptr) {
    ::GlobalFree(memory);
    return false;
  }
  return true;
}

std::string ClipboardText() {
  OpenClipboard clipboard;
  if (!clipboard.open()) return {};
  HANDLE memory = ::GetClipboardData(CF_UNICODETEXT);
  if (memory == nullptr) return {};
  const auto* text = static_cast<const char16_t*>(::GlobalLock(memory));
  if (text == nullptr) return {};
  // The text ends at its first zero or at the end of the block, whichever comes first.
  const size_t units = ::GlobalSize(memory) / sizeof(char16_t);
  size_t n = 0;
  while (n < units && text[n] != 0) ++n;
  std::string gbk = FromUtf16(kCodePageGbk, std::u16string_view(text, n));
  ::GlobalUnlock(memory);
  return gbk;
}

}  // namespace platform
