// A program window's downloads without the toolkit: paths joined and cut with "/" and names
// converted between the program's code page and the path bytes; on Windows a live window's
// close request and end reaching its downloads through the window table.
#include "download/window_downloads.h"

#include <gtest/gtest.h>

#include <string>

#include "download/file_system.h"
#include "download/program_window_watch.h"
#include "platform/codepage.h"
#include "platform/event_loop.h"

#ifdef _WIN32
#include <winsock2.h>

#include "tests/ui/win/win_window_fixture.h"
#endif

namespace download {
namespace {

TEST(WindowDownloadsTest, PathsAreJoinedAndCutWithNamesInTheProgramsCodePage) {
  const std::string name = "猫咪-hd.mp4";  // code page 936
  const std::string path = WindowDownloads::JoinPath("/home/u/Downloads", name);
  EXPECT_EQ(path, "/home/u/Downloads/" + platform::GbkToUtf8(name));
  EXPECT_EQ(WindowDownloads::FileNameOf(path), name);
  EXPECT_EQ(WindowDownloads::FolderOf(path), "/home/u/Downloads");
  EXPECT_EQ(WindowDownloads::JoinPath("C:/", "a.mp4"), "C:/a.mp4");
  EXPECT_EQ(WindowDownloads::FolderOf("C:/a.mp4"), "C:/");
  EXPECT_EQ(WindowDownloads::FolderOf("/a.mp4"), "/");
  EXPECT_EQ(WindowDownloads::FileSystemLength(name), FileNameLength(name));
}

#ifdef _WIN32
// A loopback port that takes connections and never answers: a download there runs until its
// time-out.
class SilentPort {
 public:
  SilentPort() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(socket_, 8);
    int size = sizeof address;
    getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
  }
  ~SilentPort() {
    closesocket(socket_);
    WSACleanup();
  }
  int port() const { return port_; }

 private:
  SOCKET socket_;
  int port_ = 0;
};

using WindowDownloadsWinTest = ui_test::WinWindowTest;

TEST_F(WindowDownloadsWinTest, ALiveWindowsCloseAndEndReachItsDownloads) {
  using ui_test::kWindow;
  EXPECT_EQ(WindowDownloads::Of(kWindow), nullptr);  // not live
  ui::LoadWindow(kWindow);
  WindowDownloads* downloads = WindowDownloads::Of(kWindow);
  ASSERT_NE(downloads, nullptr);
  EXPECT_EQ(WindowDownloads::Of(kWindow), downloads);

  SilentPort port;
  DownloadOrder order;
  order.address = "http://127.0.0.1:" + std::to_string(port.port()) + "/clip.mp4";
  order.phaseTimeoutMs = 20000;
  char folder[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, folder);
  const std::string target = std::string(folder) + "wl-window-downloads.mp4";
  Download* d = downloads->manager().Add(order, target, false);
  ASSERT_EQ(d->state(), Download::State::kRunning);

  int asked = 0;
  bool stop = false;
  downloads->SetCloseQuestion([&] {
    ++asked;
    return stop;
  });
  // The user closes the window: the downloads are asked first, and keeping them keeps the window.
  HWND frame = Hwnd(ui::kWindowUnitId);
  SendMessageW(frame, WM_CLOSE, 0, 0);
  platform::ProcessPendingEvents();
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(ui::IsWindowLive(kWindow));
  EXPECT_EQ(d->state(), Download::State::kRunning);

  // Its end ends them: a window loaded again under that id starts with no downloads.
  ui::DestroyWindow(kWindow);
  EXPECT_FALSE(ui::IsWindowLive(kWindow));
  ui::LoadWindow(kWindow);
  WindowDownloads* again = WindowDownloads::Of(kWindow);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->manager().count(), 0);
  EXPECT_EQ(asked, 1);
  stop = true;
  DeleteFileA((target + ".part").c_str());
}
#endif

}  // namespace
}  // namespace download
