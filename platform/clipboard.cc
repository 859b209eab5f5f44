#include "platform/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QString>
#include <QThread>
#include <new>

#include "platform/codepage.h"

namespace platform {
namespace {

ClipboardFailure g_failure = ClipboardFailure::kNone;

// The clipboard, or null when it cannot be opened from here.
QClipboard* OpenClipboard() {
  if (g_failure == ClipboardFailure::kOpen) return nullptr;
  QCoreApplication* app = QGuiApplication::instance();
  if (app == nullptr || QThread::currentThread() != app->thread()) return nullptr;
  return QGuiApplication::clipboard();
}

}  // namespace

void SetClipboardFailureForTesting(ClipboardFailure failure) { g_failure = failure; }

bool SetClipboardText(std::string_view gbkText) {
  QClipboard* clipboard = OpenClipboard();
  if (clipboard == nullptr) return false;
  clipboard->clear();
  if (g_failure == ClipboardFailure::kAllocate) return false;
  std::u16string wide;
  try {
    wide = ToUtf16(kCodePageGbk, gbkText);
  } catch (const std::bad_alloc&) {
    return false;  // the clipboard stays empty
  }
  clipboard->setText(QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size())));
  return true;
}

std::string ClipboardText() {
  QClipboard* clipboard = OpenClipboard();
  if (clipboard == nullptr) return {};
  QString text = clipboard->text();
  return FromUtf16(kCodePageGbk, std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                                     static_cast<size_t>(text.size())));
}

}  // namespace platform
