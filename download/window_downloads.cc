#include "download/window_downloads.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <QWidget>

#include "download/download_dialogs.h"
#include "download/download_manager.h"
#include "download/downloads_window.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/window_frame.h"
#include "ui/window_manager.h"

namespace download {
using ui::FrameWidgetOf;
using ui::FromQString;
using ui::IsWindowLive;
using ui::ToQString;
using ui::WindowFrame;

namespace {

constexpr char kLastFolderKey[] = "downloads/lastFolder";

QString FromNative(std::string_view path) {
  return QFile::decodeName(QByteArray(path.data(), static_cast<int>(path.size())));
}
std::string ToNative(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The program's settings, or the file tests give instead.
std::unique_ptr<QSettings> OpenSettings(const QString& file) {
  if (file.isEmpty())
    return std::make_unique<QSettings>(QStringLiteral("videolens"), QStringLiteral("videolens"));
  return std::make_unique<QSettings>(file, QSettings::IniFormat);
}

}  // namespace

WindowDownloads* WindowDownloads::Of(int32_t windowId) {
  WindowFrame* frame = IsWindowLive(windowId) ? FrameWidgetOf(windowId) : nullptr;
  if (frame == nullptr) return nullptr;
  if (auto* downloads = frame->findChild<WindowDownloads*>(QString(), Qt::FindDirectChildrenOnly))
    return downloads;
  return new WindowDownloads(frame);  // a child of the frame
}

WindowDownloads::WindowDownloads(QWidget* frame)
    : QObject(frame), dialogs_(MakeDesktopDialogs()), manager_(std::make_unique<DownloadManager>()) {
  frame->installEventFilter(this);
}

WindowDownloads::~WindowDownloads() {
  // The window goes before the list it shows.
  delete window_.data();
}

QWidget* WindowDownloads::frame() const { return static_cast<QWidget*>(parent()); }

void WindowDownloads::SetDialogs(std::unique_ptr<DownloadDialogs> dialogs) { dialogs_ = std::move(dialogs); }

void WindowDownloads::ShowWindow() {
  if (!window_) {
    // A window of its own, owned by the program window's frame so that it ends with it.
    window_ = new DownloadsWindow(
        manager_.get(), [this](const QUrl& url) { OpenLocal(url); },
        [this](const QString& question) {
          return dialogs_->Ask(frame(), ToQString("下载"), question,
                               {ToQString("替换"), ToQString("取消")}) == 0;
        },
        frame());
  }
  window_->show();
  window_->raise();
  window_->activateWindow();
}

void WindowDownloads::OpenLocal(const QUrl& url) { dialogs_->OpenUrl(url); }

std::string WindowDownloads::AskSavePath(std::string_view title, std::string_view defaultName) {
  const QString proposed = QDir(FromNative(LastFolder())).filePath(ToQString(defaultName));
  QString chosen = dialogs_->SaveFileName(frame(), ToQString(title), proposed);
  return chosen.isEmpty() ? std::string() : ToNative(QFileInfo(chosen).absoluteFilePath());
}

std::string WindowDownloads::AskFolder(std::string_view title) {
  QString chosen = dialogs_->ExistingFolder(frame(), ToQString(title), FromNative(LastFolder()));
  return chosen.isEmpty() ? std::string() : ToNative(QFileInfo(chosen).absoluteFilePath());
}

int WindowDownloads::Ask(std::string_view title, std::string_view text,
                         const std::vector<std::string>& buttons) {
  QStringList captions;
  for (const std::string& b : buttons) captions << ToQString(b);
  return dialogs_->Ask(frame(), ToQString(title), ToQString(text), captions);
}

void WindowDownloads::Inform(std::string_view title, std::string_view text) {
  dialogs_->Inform(frame(), ToQString(title), ToQString(text));
}

bool WindowDownloads::OpenAddress(std::string_view address) {
  if (!IsHttpAddress(address)) return false;
  QUrl url = QUrl::fromEncoded(ToQString(address).toUtf8(), QUrl::TolerantMode);
  return url.isValid() && dialogs_->OpenUrl(url);
}

std::string WindowDownloads::JoinPath(std::string_view folder, std::string_view fileName) {
  return ToNative(QDir(FromNative(folder)).filePath(ToQString(fileName)));
}

std::string WindowDownloads::FileNameOf(std::string_view path) {
  return FromQString(QFileInfo(FromNative(path)).fileName());
}

std::string WindowDownloads::FolderOf(std::string_view path) {
  return ToNative(QFileInfo(FromNative(path)).absolutePath());
}

bool WindowDownloads::Exists(std::string_view path) { return QFileInfo::exists(FromNative(path)); }

size_t WindowDownloads::FileSystemLength(std::string_view fileName) {
  return static_cast<size_t>(QFile::encodeName(ToQString(fileName)).size());
}

bool WindowDownloads::IsTargetInUse(std::string_view path) const {
  return manager_->IsTargetInUse(std::string(path));
}

std::string WindowDownloads::TargetKey(std::string_view path) const {
  return manager_->TargetKey(std::string(path));
}

void WindowDownloads::RememberFolder(std::string_view folder) {
  lastFolder_ = FromNative(folder);
  OpenSettings(settingsFile_)->setValue(QLatin1String(kLastFolderKey), lastFolder_);
}

std::string WindowDownloads::LastFolder() const {
  QString folder = lastFolder_;
  if (folder.isEmpty()) {
    folder = OpenSettings(settingsFile_)->value(QLatin1String(kLastFolderKey)).toString();
  }
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
    folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = QDir::homePath();
  }
  return ToNative(folder);
}

Download* WindowDownloads::Add(DownloadOrder order, std::string_view path, bool replace) {
  Download* d = manager_->Add(std::move(order), std::string(path), replace);
  if (!windowOpened_) {
    windowOpened_ = true;
    ShowWindow();
  }
  return d;
}

bool WindowDownloads::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parent() && event->type() == QEvent::Close && manager_->HasUnfinished()) {
    if (closeQuestion_ && !closeQuestion_()) {
      event->ignore();
      return true;  // the window stays
    }
    manager_->StopAll();
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace download
