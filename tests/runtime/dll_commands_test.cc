#include "runtime/dll_commands.h"

#include <gtest/gtest.h>

#include "platform/library_loader.h"
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

}  // namespace
}  // namespace rt
