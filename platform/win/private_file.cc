// Windows: files under the user's profile folder inherit its access rules, which let only the
// user (and the system's administrators) in; the file is written beside its place and moved
// over the old one.
#include "platform/private_file.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <system_error>

namespace platform {
namespace {

std::filesystem::path FromUtf8(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

}  // namespace

bool WritePrivateFile(const std::string& path, std::string_view bytes) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path target = FromUtf8(path);
  if (target.has_parent_path() && !fs::exists(target.parent_path(), ec)) {
    fs::create_directories(target.parent_path(), ec);
    if (ec) return false;
  }
  fs::path temporary = target;
  temporary += L".new";
  bool ok;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    ok = static_cast<bool>(out);
  }
  if (ok)
    ok = MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) fs::remove(temporary, ec);
  return ok;
}

}  // namespace platform
