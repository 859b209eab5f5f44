#include "download/download_places.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <memory>

namespace download {
namespace {

constexpr char kLastFolderKey[] = "downloads/lastFolder";

// The program's settings, or the file tests give instead.
std::unique_ptr<QSettings> OpenSettings(const std::string& file) {
  if (file.empty())
    return std::make_unique<QSettings>(QStringLiteral("videolens"), QStringLiteral("videolens"));
  return std::make_unique<QSettings>(QString::fromUtf8(file), QSettings::IniFormat);
}

}  // namespace

std::string DefaultDownloadFolder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
  if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
  return folder.toUtf8().toStdString();
}

std::string ReadLastFolder(const std::string& settingsFile) {
  return OpenSettings(settingsFile)->value(QLatin1String(kLastFolderKey)).toString().toUtf8().toStdString();
}

void WriteLastFolder(const std::string& settingsFile, std::string_view folder) {
  OpenSettings(settingsFile)
      ->setValue(QLatin1String(kLastFolderKey),
                 QString::fromUtf8(folder.data(), static_cast<qsizetype>(folder.size())));
}

}  // namespace download
