// Files only the user may read: written whole beside their place, then put in its place.
//
// Thread contract: safe from any thread; two writers of one path at once are not ordered.
#ifndef PLATFORM_PRIVATE_FILE_H_
#define PLATFORM_PRIVATE_FILE_H_

#include <string>
#include <string_view>

namespace platform {

// Writes `bytes` to `path` (the file system's bytes; UTF-8 on Windows) as a file only the user
// can read and write: mode 0600 on Linux, at every moment of its life; on Windows the access
// rules of the user's own profile folder. A missing folder is made, for the user alone. An
// existing file is replaced only once the new one is complete, so a reader never sees half of
// it. False when it cannot be written; nothing is left beside the file then.
bool WritePrivateFile(const std::string& path, std::string_view bytes);

}  // namespace platform

#endif  // PLATFORM_PRIVATE_FILE_H_
