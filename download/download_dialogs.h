// What the download commands ask of the desktop: a file to save to, a folder, a question with
// buttons, a message, and handing an address or a local file to the desktop's default
// application. The desktop's own (file dialogs, message boxes, the desktop services) are
// MakeDesktopDialogs(); tests put a scripted one in their place.
//
// Ownership: plain interface; the program window's WindowDownloads owns the one it uses.
// Thread contract: GUI thread only. The desktop's dialogs are modal: they run a nested loop.
#ifndef DOWNLOAD_DOWNLOAD_DIALOGS_H_
#define DOWNLOAD_DOWNLOAD_DIALOGS_H_

#include <QString>
#include <QStringList>
#include <QUrl>
#include <memory>

class QWidget;

namespace download {

class DownloadDialogs {
 public:
  virtual ~DownloadDialogs() = default;
  // The path to save to, starting at `proposed` (a folder and a file name); empty when the user
  // cancels. Does not ask about an existing file: the caller does.
  virtual QString SaveFileName(QWidget* parent, const QString& title, const QString& proposed) = 0;
  // An existing folder, starting at `start`; empty when the user cancels.
  virtual QString ExistingFolder(QWidget* parent, const QString& title, const QString& start) = 0;
  // The index of the button the user chose, -1 when the question was closed without one. The
  // last button is the one Escape chooses.
  virtual int Ask(QWidget* parent, const QString& title, const QString& text, const QStringList& buttons) = 0;
  virtual void Inform(QWidget* parent, const QString& title, const QString& text) = 0;
  // Hands the address to the desktop's default application for it; false when none took it.
  virtual bool OpenUrl(const QUrl& url) = 0;
};

// File dialogs, message boxes and the desktop services.
std::unique_ptr<DownloadDialogs> MakeDesktopDialogs();

}  // namespace download

#endif  // DOWNLOAD_DOWNLOAD_DIALOGS_H_
