#include "ui/qt/qt_text.h"

#include "platform/codepage.h"

namespace ui {

QString ToQString(std::string_view gbk) {
  std::u16string wide = platform::ToUtf16(platform::kCodePageGbk, gbk);
  QString s = QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

std::string FromQString(const QString& text) {
  QString s = text;
  s.replace(QChar(0x2029), QChar('\n'));  // paragraph separators of the text widgets
  s.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  return platform::FromUtf16(
      platform::kCodePageGbk,
      std::u16string_view(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<size_t>(s.size())));
}

}  // namespace ui
