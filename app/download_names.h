// The file names downloads are saved under: the video's title, its quality and the extension
// of the address's path ("猫咪第一次见到雪-hd.mp4"), with what a file name cannot hold replaced
// and the length cut to what file systems take, on a character boundary. On Windows the names
// also keep Windows' own rules (no device names, no dots or blanks at the end).
//
// Texts are the program's code page; lengths are counted as the file system counts them (UTF-8
// bytes on Linux, UTF-16 units on Windows).
// Ownership: plain values. Thread contract: any thread.
#ifndef APP_DOWNLOAD_NAMES_H_
#define APP_DOWNLOAD_NAMES_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace app {

// The longest name a download gets: with ".part" after it, it still fits the 255 bytes that
// common file systems allow.
inline constexpr size_t kMaxFileNameBytes = 250;

// The text with each character a file name cannot hold on the common systems (/ \ : * ? " < >
// |), each control character, each byte that is no character of the code page and each leading
// dot replaced by "_"; blanks at both ends are dropped. The trail byte of a double-byte
// character is never taken for one of these.
std::string CleanFileNamePart(std::string_view text);

// ".mp4" for "https://host/hd/clip.mp4?auth=x": the last segment's extension (1 to 8 letters
// or digits), query and fragment excluded; empty when there is none.
std::string AddressExtension(std::string_view address);

// Whether DefaultFileName and NumberedFileName keep Windows' rules: on the Windows build.
#ifdef _WIN32
inline constexpr bool kWindowsFileNames = true;
#else
inline constexpr bool kWindowsFileNames = false;
#endif

// A cleaned name as Windows takes it: dots and blanks at its end dropped (Windows would drop
// them itself and name another file), and a device name (CON, PRN, AUX, NUL, COM1 to COM9,
// LPT1 to LPT9, CONIN$, CONOUT$, in any case, also with an extension as in "nul.mp4" or blanks
// before it) given a "_" after it, which no longer names the device. An empty result is
// the default stem.
std::string WindowsFileName(std::string_view name);

// Title, "-", quality and the address's extension, each cleaned; without a quality no "-"; an
// empty title gives the default stem. The title is cut, on a character boundary, so that the
// whole name fits kMaxFileNameBytes. With kWindowsFileNames the result is a WindowsFileName.
std::string DefaultFileName(std::string_view title, std::string_view quality, std::string_view address);

// The name with " (number)" before its extension, cut to fit as DefaultFileName does.
std::string NumberedFileName(std::string_view name, int number);

}  // namespace app

#endif  // APP_DOWNLOAD_NAMES_H_
