#include "runtime/dll_commands.h"

#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <dlfcn.h>
#include <unistd.h>
#include <zlib.h>
#endif

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/library_loader.h"
#include "platform/process.h"
#include "runtime/application.h"
#include "runtime/libraries.h"
#include "tests/support/expect_runtime_error.h"

namespace rt {
namespace {

const DllCommand kCommands[] = {
    {"", "MultiByteToWideChar"},        {"kernel32", "lstrlenW"},
    {"kernel32", "NoSuchFunction"},     {"", "NoSuchFunction"},
    {"ole32.dll", "CoInitialize"},      {"KERNEL32.DLL", "#5"},
    {"no-such-library.so", "anything"},
};

TEST(DllCommandsTest, EmptyLibraryNameSearchesTheSystemLibrariesAndResolvesOnce) {
  InitDllCommands(kCommands, 7);
  char16_t buf[8] = {};
  EXPECT_EQ((CallDll<MultiByteToWideCharFn>(0, 936u, 0u, "中a", -1, buf, 8)), 3);
  EXPECT_EQ(buf[0], u'中');
  int64_t loads = platform::LoadedLibraryCountForTesting();
  void* first = ResolveDllCommand(0);
  EXPECT_EQ(ResolveDllCommand(0), first);
  EXPECT_EQ(platform::LoadedLibraryCountForTesting(), loads);  // cached: no second load
  // "kernel32" is matched case-insensitively with ".dll" implied.
  EXPECT_EQ(CallDll<LstrlenWFn>(1, u"abcd"), 4);
  EXPECT_NE(ResolveDllCommand(4), nullptr);
  ReleaseDllCommands();
}

TEST(DllCommandsDeathTest, MissingEntriesNameTheLibraryAsDeclared) {
  InitDllCommands(kCommands, 7);
  EXPECT_RUNTIME_ERROR(
      ResolveDllCommand(2),
      "运行时出错!\r\n\r\n错误信息：无法找到指定DLL库文件“kernel32”中的输出命令“NoSuchFunction”\r\n\r\n0, "
      "0\r\n");
  EXPECT_RUNTIME_ERROR(
      ResolveDllCommand(3),
      "运行时出错!\r\n\r\n错误信息：无法找到指定DLL库文件中的输出命令“NoSuchFunction”\r\n\r\n0, 0\r\n");
  // Ordinals do not exist among the built-in modules.
  EXPECT_RUNTIME_ERROR(
      ResolveDllCommand(5),
      "运行时出错!\r\n\r\n错误信息：无法找到指定DLL库文件“KERNEL32.DLL”中的输出命令“#5”\r\n\r\n0, 0\r\n");
  EXPECT_RUNTIME_ERROR(ResolveDllCommand(6),
                       "运行时出错!\r\n\r\n错误信息：无法找到指定DLL库文件“no-such-library."
                       "so”中的输出命令“anything”\r\n\r\n0, 0\r\n");
  ReleaseDllCommands();
}

// The search order is shown with a copy of a shared object the test links (zlib), found by dladdr.
#if !defined(_WIN32)
// The program placed in `folder` (UTF-8, under the test's temporary directory) beside a copy of
// the zlib it links, named `name`; prints where DLL command 0 (zlib's "zlibVersion" in `name`)
// was found.
void ResolveBesideTheProgram(const std::string& folder, const char* name) {
  Dl_info linked;
  if (dladdr(reinterpret_cast<void*>(&zlibVersion), &linked) == 0) std::_Exit(3);
  const std::filesystem::path dir =
      std::filesystem::path(::testing::TempDir()) / (folder + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::filesystem::copy_file(linked.dli_fname, dir / name, std::filesystem::copy_options::overwrite_existing);
  platform::SetModuleFileNameForTesting((dir / "videolens").string());
  static DllCommand commands[1];
  static std::string library;
  library = name;
  commands[0] = {library.c_str(), "zlibVersion"};
  static const ProgramHeader program = {nullptr,  0, nullptr, 0,       nullptr, 0, AllSupportLibraries(),
                                        commands, 1, nullptr, nullptr, {},      0};
  StartRuntime(program);
  Dl_info found;
  const bool ok = dladdr(ResolveDllCommand(0), &found) != 0 && found.dli_fname == (dir / name).string();
  std::filesystem::remove_all(dir);
  std::fprintf(stderr, "%s", ok ? "beside-the-program;" : "elsewhere;");
  std::_Exit(0);
}

TEST(DllCommandsDeathTest, TheProgramDirectoryComesBeforeTheSystemSearch) {
  // The system finds "libz.so.1" by its bare name too; the copy beside the program wins.
  EXPECT_EXIT(ResolveBesideTheProgram("wl_dll_order_", "libz.so.1"), ::testing::ExitedWithCode(0),
              "^beside-the-program;$");
}

TEST(DllCommandsDeathTest, AFolderNameOutsideAsciiIsSearchedAsTheSystemGaveIt) {
  EXPECT_EXIT(ResolveBesideTheProgram(reinterpret_cast<const char*>(u8"wl_dll_视频_"), "wlprobe.so"),
              ::testing::ExitedWithCode(0), "^beside-the-program;$");
}

#endif  // !defined(_WIN32)

}  // namespace
}  // namespace rt
