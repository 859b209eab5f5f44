// The file system calls of downloads, in one place so that another system's backend can take
// their place: a part file opened for writing under an exclusive hold (made new, never over an
// existing file, or an existing one continued), a rename that replaces only when asked, and
// the probe that tells whether a folder compares names without regard to case.
//
// Error codes are errno values (0: success), whatever the backend. Paths are the program's path
// bytes: UTF-8 with "/" between parts on every system (the Windows backend converts them to
// UTF-16 and "\\" for its calls), so that any name a file dialog returns can be passed on.
//
// Ownership: a LockedFile owns its descriptor and its hold; both end with Close or the object.
// Thread contract: a LockedFile is used by one thread at a time; the free functions are
// stateless and safe from any thread.
#ifndef DOWNLOAD_FILE_SYSTEM_H_
#define DOWNLOAD_FILE_SYSTEM_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace download {

class LockedFile {
 public:
  enum class Mode {
    kCreateNew,     // fails with EEXIST when the file exists
    kOpenExisting,  // fails with ENOENT when it does not
  };
  LockedFile() = default;
  ~LockedFile();
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;

  // Opens `path` for writing and holds it exclusively (on Linux an advisory lock every writer of
  // part files takes, on Windows a share mode that lets no other writer open it; in this process
  // and in others) until Close. EWOULDBLOCK: another writer holds it. REQUIRES: !isOpen().
  int Open(const std::string& path, Mode mode);
  bool isOpen() const { return fd_ != -1; }
  // The file's length, -1 when it cannot be read.
  int64_t Size() const;
  // Cuts the file to `size` bytes and goes on writing there.
  int TruncateTo(int64_t size);
  // Writes all of `size` bytes at the current place.
  int Write(const char* data, size_t size);
  // Lets go of the hold and closes; the close's own error, if any.
  int Close();

 private:
  intptr_t fd_ = -1;  // the descriptor; on Windows the file's handle
};

// The length of a regular file, -1 when there is none at `path`.
int64_t RegularFileSize(const std::string& path);
bool PathExists(const std::string& path);
bool IsFolder(const std::string& path);
// Removes a file; its errno, 0 when removed.
int RemoveFile(const std::string& path);
// Renames `from` to `to`. Without `replace` an existing `to` stays and the result is EEXIST.
int RenameFile(const std::string& from, const std::string& to, bool replace);
// Whether the folder's file system takes names that differ only in case for one name (vfat,
// exFAT, case-folding folders). Probed by making a name of mixed case there and looking for its
// case-swapped twin; false when nothing can be made there.
bool IsCaseBlindFolder(const std::string& folder);
// A name (path bytes) with its letters folded as a case-blind folder of the system compares
// them: ASCII letters on Linux (vfat and exFAT fold more, the names the program makes differ in
// these), every letter the NTFS way (upper case, as CharUpperBuffW maps it) on Windows.
std::string FoldNameCase(std::string_view name);
// How long a file name (program text) is where the file system counts a name's length: UTF-8
// bytes on Linux, UTF-16 units on Windows.
size_t FileNameLength(std::string_view fileName);

}  // namespace download

#endif  // DOWNLOAD_FILE_SYSTEM_H_
