// Where downloads are saved when the user has not chosen yet, and the folder chosen last,
// kept in the program's settings for the next run.
//
// Paths are the file system's bytes (download/file_system.h).
// Thread contract: GUI thread only.
#ifndef DOWNLOAD_DOWNLOAD_PLACES_H_
#define DOWNLOAD_DOWNLOAD_PLACES_H_

#include <string>
#include <string_view>

namespace download {

// The desktop's folder for downloads, else the user's home folder.
std::string DefaultDownloadFolder();
// The folder kept in the settings, empty when none is. An empty `settingsFile` is the
// program's own settings (on Windows under HKEY_CURRENT_USER); tests give a file instead.
std::string ReadLastFolder(const std::string& settingsFile);
void WriteLastFolder(const std::string& settingsFile, std::string_view folder);

}  // namespace download

#endif  // DOWNLOAD_DOWNLOAD_PLACES_H_
