// The downloads of a program window: its download list (the manager), the downloads window,
// the dialogs the download commands put to the user, the folder used last (kept in the
// program's settings for the next run), and the question asked when the window is closed while
// downloads run.
//
// The application's download commands reach all of it through the members below, in the
// program's terms: texts in the program's code page, file paths as the file system's bytes,
// which they pass on without reading. The downloads window opens with the first download and
// afterwards when asked; closing it hides it, the list stays for as long as the program window.
//
// Paths are joined, cut and compared here without the toolkit: "/" between parts, names
// converted between the program's code page and the path bytes (UTF-8).
//
// Ownership: the downloads of a window are kept here, keyed by its id, from first use until the
// window system reports the window gone (download/program_window_watch.h); they end then, their
// downloads (which abort their transfers; part files stay) and the downloads window with them.
// Thread contract: GUI thread only. The Ask... and Inform members run modal dialogs
// (nested event loops).
#ifndef DOWNLOAD_WINDOW_DOWNLOADS_H_
#define DOWNLOAD_WINDOW_DOWNLOADS_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "download/download.h"
#include "download/download_manager.h"
#include "download/downloads_window.h"

namespace download {

class DownloadDialogs;

class WindowDownloads {
 public:
  // The downloads of a live program window, made on first use; null when the window is not live.
  static WindowDownloads* Of(int32_t windowId);
  ~WindowDownloads();
  WindowDownloads(const WindowDownloads&) = delete;
  WindowDownloads& operator=(const WindowDownloads&) = delete;

  DownloadManager& manager() { return *manager_; }
  // Null until first shown.
  DownloadsWindow* window() const { return window_.get(); }
  // Shows the downloads window (made on first use) and brings it to the front.
  void ShowWindow();

  // ---- Dialogs: titles, texts and file names in the program's code page. ------------------
  // The file to save to, proposed as `defaultName` in the folder used last; empty when cancelled.
  std::string AskSavePath(std::string_view title, std::string_view defaultName);
  // A folder, starting in the one used last; empty when cancelled.
  std::string AskFolder(std::string_view title);
  // The index of the chosen button, -1 when the question was closed without one.
  int Ask(std::string_view title, std::string_view text, const std::vector<std::string>& buttons);
  void Inform(std::string_view title, std::string_view text);
  // Hands an http or https address to the desktop's default application; false for another
  // address or when nothing took it.
  bool OpenAddress(std::string_view address);
  // Hands a local file or folder (path bytes) to the desktop's default application.
  bool OpenPath(std::string_view path);

  // ---- Paths: the file system's bytes. ----------------------------------------------------
  static std::string JoinPath(std::string_view folder, std::string_view fileName);
  // The last part of a path, in the program's code page (for messages).
  static std::string FileNameOf(std::string_view path);
  static std::string FolderOf(std::string_view path);
  static bool Exists(std::string_view path);
  // The bytes a file name (program text) takes in the file system.
  static size_t FileSystemLength(std::string_view fileName);
  // A download of the list holds `path` (see DownloadManager::IsTargetInUse).
  bool IsTargetInUse(std::string_view path) const;
  // Equal for two paths that name one file (see DownloadManager::TargetKey).
  std::string TargetKey(std::string_view path) const;
  // Remembers the folder for the next dialog, in this run and the next ones.
  void RememberFolder(std::string_view folder);
  std::string LastFolder() const;

  // Appends a download to the list (it starts when a slot is free). The first download of the
  // program window opens the downloads window.
  Download* Add(DownloadOrder order, std::string_view path, bool replace);

  // Asked when the program window is about to close while downloads run or wait: true stops
  // them (their part files stay) and lets the window close, false keeps it open. Without a
  // question the window closes and the downloads stop.
  void SetCloseQuestion(std::function<bool()> question) { closeQuestion_ = std::move(question); }
  // The window is about to close: false keeps it open (see SetCloseQuestion).
  bool Closing();

  // The dialogs in use (the desktop's unless replaced) and the settings file (the program's
  // own unless replaced), for tests.
  DownloadDialogs& dialogs() { return *dialogs_; }
  void SetDialogs(std::unique_ptr<DownloadDialogs> dialogs);
  void SetSettingsFile(std::string path) { settingsFile_ = std::move(path); }

 private:
  explicit WindowDownloads(int32_t windowId);

  int32_t windowId_;
  std::unique_ptr<DownloadDialogs> dialogs_;
  std::unique_ptr<DownloadManager> manager_;
  std::unique_ptr<DownloadsWindow> window_;  // goes before the list it shows
  std::function<bool()> closeQuestion_;
  std::string settingsFile_;
  std::string lastFolder_;  // this run's, ahead of the settings
  bool windowOpened_ = false;
};

}  // namespace download

#endif  // DOWNLOAD_WINDOW_DOWNLOADS_H_
