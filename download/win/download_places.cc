// The downloads folder from the shell; the folder chosen last in the registry
// (HKEY_CURRENT_USER\Software\videolens\videolens\downloads, where the toolkit's settings would
// keep it) or, for tests, in an INI file.
#include <windows.h>
// After <windows.h>:
#include <knownfolders.h>
#include <shlobj.h>

#include "download/download_places.h"
#include "platform/codepage.h"

namespace download {
namespace {

constexpr wchar_t kKey[] = L"Software\\videolens\\videolens\\downloads";
constexpr wchar_t kSection[] = L"downloads";
constexpr wchar_t kValue[] = L"lastFolder";

std::wstring Wide(std::string_view utf8) {
  const std::u16string wide = platform::ToUtf16(platform::kCodePageUtf8, utf8);
  return std::wstring(wide.begin(), wide.end());
}
std::string PathBytes(std::wstring_view path) {
  std::u16string wide(path.begin(), path.end());
  for (char16_t& c : wide) {
    if (c == u'\\') c = u'/';
  }
  return platform::FromUtf16(platform::kCodePageUtf8, wide);
}

}  // namespace

std::string DefaultDownloadFolder() {
  auto known = [](REFKNOWNFOLDERID id) {
    wchar_t* path = nullptr;
    std::string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path))) folder = PathBytes(path);
    CoTaskMemFree(path);  // also after a failure
    return folder;
  };
  std::string folder = known(FOLDERID_Downloads);
  return folder.empty() ? known(FOLDERID_Profile) : folder;
}

std::string ReadLastFolder(const std::string& settingsFile) {
  wchar_t value[32768] = {};
  if (!settingsFile.empty()) {
    GetPrivateProfileStringW(kSection, kValue, L"", value, static_cast<DWORD>(std::size(value)),
                             Wide(settingsFile).c_str());
    return PathBytes(value);
  }
  DWORD size = sizeof value - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CURRENT_USER, kKey, kValue, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
    return std::string();
  return PathBytes(value);
}

void WriteLastFolder(const std::string& settingsFile, std::string_view folder) {
  const std::wstring value = Wide(folder);
  if (!settingsFile.empty()) {
    WritePrivateProfileStringW(kSection, kValue, value.c_str(), Wide(settingsFile).c_str());
    return;
  }
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return;
  RegSetValueExW(key, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

}  // namespace download
