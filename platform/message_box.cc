#include "platform/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <cstdio>

#include "platform/codepage.h"

namespace platform {
namespace {
MessageBoxHook& Hook() {
  static MessageBoxHook hook;
  return hook;
}

QString ToQString(const std::string& gbk) {
  std::u16string u = ToUtf16(kCodePageGbk, gbk);
  return QString::fromUtf16(u.data(), static_cast<qsizetype>(u.size()));
}
}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) { Hook() = std::move(hook); }

void MessageBoxA(const std::string& text, const std::string& caption) {
  if (Hook()) {
    Hook()(text, caption);
    return;
  }
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr ||
      QGuiApplication::platformName() == QLatin1String("offscreen")) {
    // No screen to show a box on: the report still reaches the user.
    std::fprintf(stderr, "%s\n%s\n", GbkToUtf8(caption).c_str(), GbkToUtf8(text).c_str());
    return;
  }
  QMessageBox box(QMessageBox::Critical, ToQString(caption), ToQString(text), QMessageBox::Ok);
  box.exec();
}

}  // namespace platform
