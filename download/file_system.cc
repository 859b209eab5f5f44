#include "download/file_system.h"

#include <fcntl.h>
#include <stdio.h>  // renameat2
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/codepage.h"

namespace download {

LockedFile::~LockedFile() { Close(); }

int LockedFile::Open(const std::string& path, Mode mode) {
  const int flags = O_WRONLY | O_CLOEXEC | (mode == Mode::kCreateNew ? O_CREAT | O_EXCL : 0);
  const int fd = open(path.c_str(), flags, 0644);
  if (fd < 0) return errno;
  // flock holds per open file: two openings in one process exclude each other as two
  // processes do.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    close(fd);
    return error == EWOULDBLOCK ? EWOULDBLOCK : error;
  }
  fd_ = fd;
  return 0;
}

int64_t LockedFile::Size() const {
  struct stat st;
  return fd_ >= 0 && fstat(static_cast<int>(fd_), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

int LockedFile::TruncateTo(int64_t size) {
  if (ftruncate(static_cast<int>(fd_), size) != 0) return errno;
  return lseek(static_cast<int>(fd_), size, SEEK_SET) == size ? 0 : errno;
}

int LockedFile::Write(const char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = write(static_cast<int>(fd_), data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    done += static_cast<size_t>(n);
  }
  return 0;
}

int LockedFile::Close() {
  if (fd_ < 0) return 0;
  const int result = close(static_cast<int>(fd_)) == 0 ? 0 : errno;  // the lock goes with the descriptor
  fd_ = -1;
  return result;
}

int64_t RegularFileSize(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : -1;
}

bool PathExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0 ? 0 : errno; }

int RenameFile(const std::string& from, const std::string& to, bool replace) {
  if (replace) return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without the flag: link and unlink keep the same promise.
  if (link(from.c_str(), to.c_str()) != 0) return errno;
  unlink(from.c_str());
  return 0;
}

bool IsCaseBlindFolder(const std::string& folder) {
  static std::atomic<unsigned> counter{0};
  const std::string stem = "/.Wl-Case-Probe-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
  const std::string probe = folder + stem;
  std::string twin = folder;
  for (char c : stem) {
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
    else if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
    twin += c;
  }
  int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  close(fd);
  struct stat a, b;
  const bool blind = stat(probe.c_str(), &a) == 0 && stat(twin.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
                     a.st_ino == b.st_ino;
  unlink(probe.c_str());
  return blind;
}

std::string FoldNameCase(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return folded;
}

size_t FileNameLength(std::string_view fileName) { return platform::GbkToUtf8(fileName).size(); }

}  // namespace download
