// The Win32 login dialog over the program's main window: one dialog at most, owned by the main
// window and gone with it; a paste, an import and a clear through its own controls, the list as
// shown, the file in the user's application data; the refused lookup's question answered both
// ways through the system's message box.
#include "app/login_dialog.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/constants.h"
#include "app/main_window.h"
#include "app/program.h"
#include "platform/event_loop.h"
#include "runtime/application.h"
#include "runtime/libraries.h"
#include "ui/win/native_view.h"
#include "ui/window_manager.h"
#include "platform/codepage.h"

namespace app {
namespace {

namespace fs = std::filesystem;

std::wstring W(std::string_view gbk) {
  const std::u16string text = platform::ToUtf16(platform::kCodePageGbk, gbk);
  return std::wstring(text.begin(), text.end());
}

class WinLoginDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    // One folder per process: CTest runs this file's tests side by side.
    folder_ = fs::temp_directory_path() / (L"videolens 登录 " + std::to_wstring(GetCurrentProcessId()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    _wputenv_s(L"APPDATA", folder_.c_str());
    ui::InstallWindowSystem();
    rt::KernelLibrary().notify(rt::kLibraryNotifyStart, reinterpret_cast<intptr_t>(&rt::NotifyRuntime), 0);
    const rt::ProgramHeader& p = ProgramDescription();
    ui::LoadTemplates(p.windowData, p.windowLength, p.routines, p.routineCount);
    ui::LoadWindow(kMainWindowId);
    main_ = ui::HwndOf(ui::FindLiveControl(kMainWindowId, ui::kWindowUnitId));
    ASSERT_NE(main_, nullptr);
  }
  void TearDown() override {
    ui::DestroyWindow(kMainWindowId);
    platform::ProcessPendingEvents();
    _wputenv_s(L"APPDATA", L"");
    fs::remove_all(folder_);
  }
  // The top-level windows of this thread titled `title` (code page 936) and owned by the main window.
  int OwnedWindows(const char* title) const {
    struct Count {
      HWND owner;
      std::wstring title;
      int n;
    } count{main_, W(title), 0};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
          auto* c = reinterpret_cast<Count*>(data);
          wchar_t text[64] = {};
          GetWindowTextW(window, text, 64);
          if (GetWindow(window, GW_OWNER) == c->owner && c->title == text) c->n += 1;
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count.n;
  }
  // Answers the next message box of this process titled "登录" with `button`, from another
  // thread (the box's own loop runs on this one). Without a box within 60 s (a loaded machine
  // shows the first one slowly) it ends the box's loop instead, so that the test fails rather
  // than waits.
  std::thread Answer(int button, std::atomic<bool>* answered) {
    return std::thread([button, answered, title = W(kLoginQuestionTitle), gui = GetCurrentThreadId()] {
      for (int i = 0; i < 3000; ++i) {
        if (HWND box = FindWindowW(L"#32770", title.c_str()); box != nullptr && IsWindowVisible(box)) {
          PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
          *answered = true;
          return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      PostThreadMessageW(gui, WM_QUIT, 0, 0);
    });
  }
  fs::path LoginFile() const { return folder_ / L"videolens" / L"login-cookies.txt"; }

  fs::path folder_;
  HWND main_ = nullptr;
};

TEST_F(WinLoginDialogTest, APastedLineAndAnImportedFileAreListedKeptAndCleared) {
  ASSERT_EQ(OpenLoginDialog(), nullptr);
  LoginDialog* dialog = ShowLoginDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->IsShown());
  EXPECT_EQ(ShowLoginDialog(), dialog);  // raised, not a second one
  EXPECT_EQ(OwnedWindows("登录信息"), 1);

  dialog->PasteAndAdd("no cookie here");
  EXPECT_EQ(dialog->FieldText(), "no cookie here");
  EXPECT_TRUE(dialog->ListedRows().empty());
  EXPECT_NE(dialog->Note().find("Cookie: 名称=值"), std::string::npos);
  dialog->PressClear();  // disabled while nothing is held
  EXPECT_EQ(dialog->Note().find("已清除"), std::string::npos);

  dialog->PasteAndAdd("Cookie: z_c0=demo-login-7c3f9a; d_c0=second");
  EXPECT_EQ(dialog->FieldText(), "");
  EXPECT_EQ(dialog->Note(), "已添加 2 个 cookie。");
  // In the user's application data, whose path is not ASCII here.
  {
    // Closed before the next save: Windows replaces no file that is open.
    std::ifstream kept(LoginFile(), std::ios::binary);
    ASSERT_TRUE(kept.is_open());
    const std::string text{std::istreambuf_iterator<char>(kept), std::istreambuf_iterator<char>()};
    EXPECT_NE(text.find("z_c0\tdemo-login-7c3f9a"), std::string::npos);
  }

  std::ofstream(folder_ / L"cookies.txt", std::ios::binary)
      << ".zhihu.com\tTRUE\t/\tTRUE\t2000000000\t__zse_ck\tv\n.example.com\tTRUE\t/\tFALSE\t0\tx\ty\n";
  const std::u8string picked = (folder_ / L"cookies.txt").u8string();
  dialog->ImportPicked(std::string(picked.begin(), picked.end()));
  const std::vector<LoginRow> rows = dialog->ListedRows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (LoginRow{"z_c0", ".zhihu.com", "浏览器会话结束时", ""}));
  EXPECT_EQ(rows[2].name, "__zse_ck");
  EXPECT_EQ(rows[2].secure, "是");
  EXPECT_EQ(rows[2].expires.rfind("2033-05-1", 0), 0u) << rows[2].expires;
  for (const LoginRow& row : rows) EXPECT_EQ(row.domain.find("example"), std::string::npos);

  dialog->PressClose();
  EXPECT_EQ(OpenLoginDialog(), nullptr);
  EXPECT_EQ(OwnedWindows("登录信息"), 0);
  // A new dialog reads the file; its clear removes it.
  dialog = ShowLoginDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->ListedRows(), rows);
  dialog->PressClear();
  EXPECT_TRUE(dialog->ListedRows().empty());
  EXPECT_EQ(dialog->Note(), "已清除登录信息。");
  EXPECT_FALSE(fs::exists(LoginFile()));
  // Destroyed with the main window, and none without one.
  DestroyWindow(main_);
  EXPECT_EQ(OpenLoginDialog(), nullptr);
  EXPECT_EQ(ShowLoginDialog(), nullptr);
}

// The program's message loop knows no dialog: Tab and Esc still work in this one.
TEST_F(WinLoginDialogTest, TabMovesBetweenTheControlsAndEscClosesTheDialog) {
  ASSERT_NE(ShowLoginDialog(), nullptr);
  HWND dialog = FindWindowW(L"VideolensLoginDialog", nullptr);
  ASSERT_NE(dialog, nullptr);
  HWND add = FindWindowExW(dialog, nullptr, L"Button", W("添加").c_str());
  HWND import = FindWindowExW(dialog, nullptr, L"Button", W("导入 cookies.txt…").c_str());
  ASSERT_NE(add, nullptr);
  ASSERT_NE(import, nullptr);
  auto pump = [] {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  };
  // Active first (a window manager activates it a moment later, taking the focus to it).
  for (int i = 0; i < 200 && GetActiveWindow() != dialog; ++i) {
    pump();
    Sleep(10);
  }
  pump();
  SetFocus(add);
  ASSERT_EQ(GetFocus(), add);
  PostMessageW(add, WM_KEYDOWN, VK_TAB, 0);
  pump();
  EXPECT_EQ(GetFocus(), import);
  PostMessageW(import, WM_KEYDOWN, VK_ESCAPE, 0);
  pump();
  EXPECT_EQ(OpenLoginDialog(), nullptr);
  EXPECT_FALSE(IsWindow(dialog));
}

TEST_F(WinLoginDialogTest, TheRefusedLookupsQuestionOpensTheDialogOnYesOnly) {
  std::atomic<bool> answered = false;
  std::thread no = Answer(IDNO, &answered);
  OfferLogin();
  no.join();
  ASSERT_TRUE(answered);
  EXPECT_EQ(OpenLoginDialog(), nullptr);

  answered = false;
  std::thread yes = Answer(IDYES, &answered);
  OfferLogin();
  yes.join();
  ASSERT_TRUE(answered);
  ASSERT_NE(OpenLoginDialog(), nullptr);
  EXPECT_TRUE(OpenLoginDialog()->IsShown());
  OpenLoginDialog()->PressClose();
}

}  // namespace
}  // namespace app
