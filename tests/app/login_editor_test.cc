// The login dialog's content: what a paste, an import and a clear leave in the list, the note
// and the file, and how failures to read or write are told.
#include "app/login_editor.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace app {
namespace {

namespace fs = std::filesystem;

class LoginEditorTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        fs::temp_directory_path() / ("videolens-login-editor-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string Write(const char* name, const std::string& bytes) {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
    return (folder_ / name).string();
  }
  std::string LoginFile() const { return (folder_ / "cfg" / "login-cookies.txt").string(); }

  fs::path folder_;
};

TEST_F(LoginEditorTest, AnImportedFileListsTheSitesCookiesAndIsKeptForTheNextDialog) {
  LoginEditor editor(LoginFile());
  EXPECT_EQ(editor.note(), "");
  const std::string file = Write("cookies.txt",
                                 "# Netscape HTTP Cookie File\n"
                                 ".zhihu.com\tTRUE\t/\tTRUE\t2000000000\tz_c0\tsecret\n"
                                 "www.zhihu.com\tFALSE\t/\tFALSE\t0\td_c0\tother\n"
                                 ".example.com\tTRUE\t/\tFALSE\t0\tforeign\tno\n");
  EXPECT_EQ(editor.ImportFile(file), 2);
  EXPECT_EQ(editor.note(), "已添加 2 个 cookie。");
  const std::vector<LoginRow> rows = editor.Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].name, "z_c0");
  EXPECT_EQ(rows[0].secure, "是");
  // 2000000000 is 2033-05-18 03:33 UTC: the local date is within a day of it.
  EXPECT_EQ(rows[0].expires.size(), 16u);
  EXPECT_EQ(rows[0].expires.rfind("2033-05-1", 0), 0u) << rows[0].expires;
  EXPECT_EQ(rows[1], (LoginRow{"d_c0", "www.zhihu.com", "浏览器会话结束时", ""}));

  // Saved at once: a dialog opened later lists the same; a file of other sites adds nothing.
  LoginEditor later(LoginFile());
  EXPECT_EQ(later.Rows(), rows);
  EXPECT_EQ(later.ImportFile(Write("other.txt", ".example.com\tTRUE\t/\tFALSE\t0\ta\tb\n")), 0);
  EXPECT_EQ(later.note(), "没有找到这个网站的 cookie。");
  later.Clear();
  EXPECT_TRUE(later.Rows().empty());
  EXPECT_EQ(later.note(), "已清除登录信息。");
  EXPECT_FALSE(fs::exists(LoginFile()));
}

TEST_F(LoginEditorTest, FilesThatCannotBeReadOrWrittenAreToldInTheNote) {
  LoginEditor editor(LoginFile());
  EXPECT_EQ(editor.ImportFile((folder_ / "missing.txt").string()), -1);
  EXPECT_EQ(editor.note(), "无法读取这个文件。");
  EXPECT_TRUE(editor.Rows().empty());
  editor.Added(-1, "无法读取 Firefox 的 cookie。");
  EXPECT_EQ(editor.note(), "无法读取 Firefox 的 cookie。");

  // A login file whose folder is a plain file can be neither read nor written; the cookie
  // taken is still listed for this dialog.
  const std::string blocked = Write("blocked", "x") + "/login-cookies.txt";
  LoginEditor nowhere(blocked);
  EXPECT_EQ(nowhere.AddLine("z_c0=1"), 1);
  EXPECT_EQ(nowhere.note(), "无法保存登录信息。");
  EXPECT_EQ(nowhere.Rows().size(), 1u);
}

}  // namespace
}  // namespace app
