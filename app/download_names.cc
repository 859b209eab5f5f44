#include "app/download_names.h"

#include <cstring>

#include "app/constants.h"
#include "download/file_system.h"

namespace app {
namespace {

// The length of the character that starts at `i`: 2 for a lead byte with a trail byte of the
// code page after it, else 1.
size_t CharacterLength(std::string_view text, size_t i) {
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x81 || lead > 0xFE || i + 1 >= text.size()) return 1;
  const unsigned char trail = static_cast<unsigned char>(text[i + 1]);
  return trail >= 0x40 && trail <= 0xFE && trail != 0x7F ? 2 : 1;
}

// The longest start of `stem`, whole characters only, that leaves room for `rest`.
std::string FitStem(std::string_view stem, std::string_view rest) {
  size_t room = kMaxFileNameBytes;
  const size_t restBytes = download::FileNameLength(rest);
  room = restBytes < room ? room - restBytes : 0;
  size_t used = 0, end = 0;
  while (end < stem.size()) {
    const size_t n = CharacterLength(stem, end);
    const size_t bytes = download::FileNameLength(stem.substr(end, n));
    if (used + bytes > room) break;
    used += bytes;
    end += n;
  }
  return std::string(stem.substr(0, end));
}

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Whether Windows takes `base` (a name up to its first dot) for a device.
bool IsDeviceName(std::string_view base) {
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  std::string upper;
  for (char c : base) upper += AsciiUpper(c);
  static constexpr std::string_view kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (std::string_view d : kDevices) {
    if (upper == d) return true;
  }
  return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) && upper[3] >= '1' &&
         upper[3] <= '9';
}

// Windows' rules over a whole name, where the platform asks for them.
std::string PlatformName(std::string name) { return kWindowsFileNames ? WindowsFileName(name) : name; }

bool IsAsciiAlnum(char c) { return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'); }

}  // namespace

std::string CleanFileNamePart(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  std::string out;
  bool leading = true;
  for (size_t i = 0; i < text.size();) {
    const size_t n = CharacterLength(text, i);
    const unsigned char c = static_cast<unsigned char>(text[i]);
    bool replace;
    if (n == 2) {
      replace = false;
    } else {
      replace = c < 0x20 || c == 0x7F || c >= 0x80 || std::strchr("/\\:*?\"<>|", c) != nullptr ||
                (leading && c == '.');
    }
    if (replace) {
      out += kFileNameReplacement;
    } else {
      out.append(text.substr(i, n));
    }
    leading = leading && c == '.';
    i += n;
  }
  return out;
}

std::string WindowsFileName(std::string_view name) {
  // A trail byte is never a dot or a blank: the end of the text is the end of a character.
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
  if (name.empty()) return std::string(kDefaultFileStem);
  const size_t dot = name.find('.');
  const std::string_view base = name.substr(0, dot);
  if (!IsDeviceName(base)) return std::string(name);
  return std::string(base) + "_" + std::string(name.substr(base.size()));
}

std::string AddressExtension(std::string_view address) {
  std::string_view path = address.substr(0, address.find_first_of("?#"));
  const size_t scheme = path.find("://");
  if (scheme != std::string_view::npos) {
    const size_t slash = path.find('/', scheme + 3);
    path = slash == std::string_view::npos ? std::string_view() : path.substr(slash);
  }
  const std::string_view segment =
      path.substr(path.rfind('/') == std::string_view::npos ? 0 : path.rfind('/') + 1);
  const size_t dot = segment.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return std::string();
  const std::string_view extension = segment.substr(dot + 1);
  if (extension.empty() || extension.size() > 8) return std::string();
  for (char c : extension) {
    if (!IsAsciiAlnum(c)) return std::string();
  }
  return "." + std::string(extension);
}

std::string DefaultFileName(std::string_view title, std::string_view quality, std::string_view address) {
  std::string stem = CleanFileNamePart(title);
  if (stem.empty()) stem = kDefaultFileStem;
  const std::string cleanQuality = CleanFileNamePart(quality);
  std::string rest = cleanQuality.empty() ? std::string() : kFileNameSeparator + cleanQuality;
  rest += AddressExtension(address);
  return PlatformName(FitStem(stem, rest) + rest);
}

std::string NumberedFileName(std::string_view name, int number) {
  const size_t dot = name.rfind('.');
  const std::string_view stem = dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
  const std::string_view extension = name.substr(stem.size());
  const std::string rest =
      kFileNumberOpen + std::to_string(number) + kFileNumberClose + std::string(extension);
  return PlatformName(FitStem(stem, rest) + rest);
}

}  // namespace app
