// The file system calls of downloads on Windows. Paths arrive as the program's path bytes
// (UTF-8, "/" between parts, as the dialogs hand them out) and are converted here to the UTF-16
// of the W calls, with "\" between parts; long absolute paths take the "\\?\" form.
//
// The exclusive hold is the share mode: a part file is opened without sharing its writing, so a
// second writer (this process or another copy of the program) gets a sharing violation until
// the first one closes.
#include "download/file_system.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "platform/codepage.h"

namespace download {
namespace {

std::wstring WidePath(const std::string& path) {
  std::u16string text = platform::ToUtf16(platform::kCodePageUtf8, path);
  for (char16_t& c : text) {
    if (c == u'/') c = u'\\';
  }
  // Past MAX_PATH only the "\\?\" form reaches a drive path (no long-path setting needed).
  const bool drivePath = text.size() > 2 && text[1] == u':' && text[2] == u'\\';
  if (drivePath && text.size() >= MAX_PATH - 12) text.insert(0, u"\\\\?\\");
  return std::wstring(text.begin(), text.end());
}

// The errno value closest to the last Win32 error, as the header promises.
int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_SUCCESS:
      return 0;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
      return ENOENT;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EWOULDBLOCK;
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
      return EACCES;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_FILE_TOO_LARGE:
      return EFBIG;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
      return EINVAL;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    case ERROR_DIR_NOT_EMPTY:
      return ENOTEMPTY;
    default:
      return EIO;
  }
}

int LastErrno() { return ErrnoOf(GetLastError()); }

HANDLE AsHandle(intptr_t value) { return reinterpret_cast<HANDLE>(value); }

}  // namespace

LockedFile::~LockedFile() { Close(); }

int LockedFile::Open(const std::string& path, Mode mode) {
  // Readers may look; no one else may write or remove it while it is held.
  HANDLE file =
      CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                  mode == Mode::kCreateNew ? CREATE_NEW : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastErrno();
  fd_ = reinterpret_cast<intptr_t>(file);
  return 0;
}

int64_t LockedFile::Size() const {
  LARGE_INTEGER size;
  return isOpen() && GetFileSizeEx(AsHandle(fd_), &size) ? static_cast<int64_t>(size.QuadPart) : -1;
}

int LockedFile::TruncateTo(int64_t size) {
  LARGE_INTEGER at;
  at.QuadPart = size;
  if (!SetFilePointerEx(AsHandle(fd_), at, nullptr, FILE_BEGIN)) return LastErrno();
  return SetEndOfFile(AsHandle(fd_)) ? 0 : LastErrno();
}

int LockedFile::Write(const char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const DWORD piece = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(AsHandle(fd_), data + done, piece, &written, nullptr)) return LastErrno();
    if (written == 0) return EIO;
    done += written;
  }
  return 0;
}

int LockedFile::Close() {
  if (!isOpen()) return 0;
  const int result = CloseHandle(AsHandle(fd_)) ? 0 : LastErrno();  // the hold goes with the handle
  fd_ = -1;
  return result;
}

int64_t RegularFileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data)) return -1;
  if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool PathExists(const std::string& path) {
  return GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

int RemoveFile(const std::string& path) { return DeleteFileW(WidePath(path).c_str()) ? 0 : LastErrno(); }

int RenameFile(const std::string& from, const std::string& to, bool replace) {
  // Without MOVEFILE_REPLACE_EXISTING an existing target stays and the call fails with
  // ERROR_ALREADY_EXISTS, in one step: nothing can slip in between a check and the rename.
  const DWORD flags = replace ? MOVEFILE_REPLACE_EXISTING : 0;
  return MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), flags) ? 0 : LastErrno();
}

bool IsCaseBlindFolder(const std::string& folder) {
  static std::atomic<unsigned> counter{0};
  const std::string stem =
      "/.Wl-Case-Probe-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
  std::string twin = folder;
  for (char c : stem) {
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
    else if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
    twin += c;
  }
  const std::wstring probe = WidePath(folder + stem);
  HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // The twin is found only where the folder takes both spellings for the probe's name.
  const bool blind = GetFileAttributesW(WidePath(twin).c_str()) != INVALID_FILE_ATTRIBUTES;
  CloseHandle(file);  // and the probe is gone
  return blind;
}

std::string FoldNameCase(std::string_view name) {
  std::u16string wide = platform::ToUtf16(platform::kCodePageUtf8, name);
  if (!wide.empty()) CharUpperBuffW(reinterpret_cast<wchar_t*>(wide.data()), static_cast<DWORD>(wide.size()));
  return platform::FromUtf16(platform::kCodePageUtf8, wide);
}

size_t FileNameLength(std::string_view fileName) {
  // NTFS and exFAT count a name's UTF-16 units.
  return platform::ToUtf16(platform::kCodePageGbk, fileName).size();
}

}  // namespace download
