// What the download commands ask of the desktop: a file to save to, a folder, a question with
// buttons, a message, and handing an address or a local file to the desktop's default
// application. The desktop's own (file dialogs, message boxes, the desktop's services) are
// MakeDesktopDialogs(); tests put a scripted one in their place.
//
// Titles, texts and captions are the program's code page; paths the file system's bytes
// (download/file_system.h: UTF-8 with "/" between parts on every system).
// Ownership: plain interface; a program window's WindowDownloads owns the one it uses.
// Thread contract: GUI thread only. The desktop's dialogs are modal: they run a nested loop.
#ifndef DOWNLOAD_DOWNLOAD_DIALOGS_H_
#define DOWNLOAD_DOWNLOAD_DIALOGS_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace download {

class DownloadDialogs {
 public:
  virtual ~DownloadDialogs() = default;
  // The absolute path to save to, starting at `proposed` (a folder and a file name); empty
  // when the user cancels. Does not ask about an existing file: the caller does.
  virtual std::string SaveFileName(std::string_view title, std::string_view proposed) = 0;
  // An existing folder's absolute path, starting at `start`; empty when the user cancels.
  virtual std::string ExistingFolder(std::string_view title, std::string_view start) = 0;
  // The index of the button the user chose, -1 when the question was closed without one. The
  // first button is the default one, the last the one Escape chooses.
  virtual int Ask(std::string_view title, std::string_view text, const std::vector<std::string>& buttons) = 0;
  virtual void Inform(std::string_view title, std::string_view text) = 0;
  // Hands an http or https address (program text) to the desktop's default application for
  // it; false when none took it.
  virtual bool OpenAddress(std::string_view address) = 0;
  // Hands a local file or folder to the desktop's default application; false when none took it.
  virtual bool OpenPath(std::string_view path) = 0;
};

// File dialogs, message boxes and the desktop's services, above program window
// `ownerWindowId` (0: no owner).
std::unique_ptr<DownloadDialogs> MakeDesktopDialogs(int32_t ownerWindowId);

}  // namespace download

#endif  // DOWNLOAD_DOWNLOAD_DIALOGS_H_
