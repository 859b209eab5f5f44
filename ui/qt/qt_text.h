// Texts across the toolkit boundary: the program's code-page 936 bytes to and from the
// toolkit's strings. A CR LF pair is a line break on the toolkit side and comes back as CR LF.
//
// Ownership: plain values. Thread contract: none.
#ifndef UI_QT_QT_TEXT_H_
#define UI_QT_QT_TEXT_H_

#include <QString>
#include <string>
#include <string_view>

namespace ui {

QString ToQString(std::string_view gbk);
std::string FromQString(const QString& text);

}  // namespace ui

#endif  // UI_QT_QT_TEXT_H_
