#include "download/download_dialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace download {
namespace {

class DesktopDialogs : public DownloadDialogs {
 public:
  QString SaveFileName(QWidget* parent, const QString& title, const QString& proposed) override {
    // The caller asks about an existing file itself, in the program's words.
    return QFileDialog::getSaveFileName(parent, title, proposed, QString(), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
  }
  QString ExistingFolder(QWidget* parent, const QString& title, const QString& start) override {
    return QFileDialog::getExistingDirectory(parent, title, start);
  }
  int Ask(QWidget* parent, const QString& title, const QString& text, const QStringList& buttons) override {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
    std::vector<QAbstractButton*> added;
    for (int i = 0; i < buttons.size(); ++i) {
      const bool last = i + 1 == buttons.size();
      added.push_back(
          box.addButton(buttons[i], last && i > 0 ? QMessageBox::RejectRole : QMessageBox::AcceptRole));
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
  void Inform(QWidget* parent, const QString& title, const QString& text) override {
    QMessageBox::information(parent, title, text);
  }
  bool OpenUrl(const QUrl& url) override { return QDesktopServices::openUrl(url); }
};

}  // namespace

std::unique_ptr<DownloadDialogs> MakeDesktopDialogs() { return std::make_unique<DesktopDialogs>(); }

}  // namespace download
