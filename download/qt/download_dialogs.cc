#include "download/download_dialogs.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "platform/codepage.h"
#include "ui/qt/window_frame.h"
#include "ui/window_manager.h"

namespace download {
namespace {

QString Text(std::string_view gbk) {
  return QString::fromStdU16String(platform::ToUtf16(platform::kCodePageGbk, gbk));
}
QString FromPath(std::string_view path) {
  return QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
}
// An absolute path with "/" between parts, as the toolkit gives it on every system.
std::string ToPath(const QString& path) {
  return path.isEmpty() ? std::string() : QFileInfo(path).absoluteFilePath().toUtf8().toStdString();
}

class DesktopDialogs : public DownloadDialogs {
 public:
  explicit DesktopDialogs(int32_t ownerWindowId) : owner_(ownerWindowId) {}

  std::string SaveFileName(std::string_view title, std::string_view proposed) override {
    // The caller asks about an existing file itself, in the program's words.
    return ToPath(QFileDialog::getSaveFileName(parent(), Text(title), FromPath(proposed), QString(), nullptr,
                                               QFileDialog::DontConfirmOverwrite));
  }
  std::string ExistingFolder(std::string_view title, std::string_view start) override {
    return ToPath(QFileDialog::getExistingDirectory(parent(), Text(title), FromPath(start)));
  }
  int Ask(std::string_view title, std::string_view text, const std::vector<std::string>& buttons) override {
    QMessageBox box(QMessageBox::Question, Text(title), Text(text), QMessageBox::NoButton, parent());
    std::vector<QAbstractButton*> added;
    for (size_t i = 0; i < buttons.size(); ++i) {
      const bool last = i + 1 == buttons.size();
      added.push_back(
          box.addButton(Text(buttons[i]), last && i > 0 ? QMessageBox::RejectRole : QMessageBox::AcceptRole));
    }
    if (!added.empty()) {
      box.setDefaultButton(static_cast<QPushButton*>(added.front()));
      box.setEscapeButton(added.back());
    }
    box.exec();
    for (size_t i = 0; i < added.size(); ++i) {
      if (box.clickedButton() == added[i]) return static_cast<int>(i);
    }
    return -1;
  }
  void Inform(std::string_view title, std::string_view text) override {
    QMessageBox::information(parent(), Text(title), Text(text));
  }
  bool OpenAddress(std::string_view address) override {
    const QUrl url = QUrl::fromEncoded(Text(address).toUtf8(), QUrl::TolerantMode);
    return url.isValid() && QDesktopServices::openUrl(url);
  }
  bool OpenPath(std::string_view path) override {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(FromPath(path)));
  }

 private:
  QWidget* parent() const { return owner_ != 0 && ui::IsWindowLive(owner_) ? ui::FrameWidgetOf(owner_) : nullptr; }

  int32_t owner_;
};

}  // namespace

std::unique_ptr<DownloadDialogs> MakeDesktopDialogs(int32_t ownerWindowId) {
  return std::make_unique<DesktopDialogs>(ownerWindowId);
}

}  // namespace download
