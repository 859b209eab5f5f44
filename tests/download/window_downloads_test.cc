// A program window's downloads without the toolkit: paths joined and cut with "/" and names
// converted between the program's code page and the path bytes; on Windows (where no frame
// watches yet) the window system's close and end entries reaching the downloads of a window.
#include "download/window_downloads.h"

#include <gtest/gtest.h>

#include <string>

#include "download/file_system.h"
#include "download/program_window_watch.h"
#include "platform/codepage.h"
#include "platform/event_loop.h"

#ifdef _WIN32
#include <winsock2.h>
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

TEST(WindowDownloadsTest, TheWindowSystemsCloseAndEndReachTheWindowsDownloads) {
  constexpr int32_t kWindow = 7;
  WindowDownloads* downloads = WindowDownloads::Of(kWindow);
  ASSERT_NE(downloads, nullptr);
  EXPECT_EQ(WindowDownloads::Of(kWindow), downloads);
  EXPECT_TRUE(ProgramWindowClosing(kWindow));  // nothing runs: no question

  SilentPort port;
  DownloadOrder order;
  order.address = "http://127.0.0.1:" + std::to_string(port.port()) + "/clip.mp4";
  order.phaseTimeoutMs = 20000;
  char folder[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, folder);
  Download* d = downloads->manager().Add(order, std::string(folder) + "wl-window-downloads.mp4", false);
  ASSERT_EQ(d->state(), Download::State::kRunning);

  int asked = 0;
  bool stop = false;
  downloads->SetCloseQuestion([&] {
    ++asked;
    return stop;
  });
  EXPECT_FALSE(ProgramWindowClosing(kWindow));  // the user keeps downloading
  EXPECT_EQ(d->state(), Download::State::kRunning);
  stop = true;
  EXPECT_TRUE(ProgramWindowClosing(kWindow));
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(d->state(), Download::State::kPaused);

  ProgramWindowDestroyed(kWindow);
  WindowDownloads* again = WindowDownloads::Of(kWindow);  // a new window of that id
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->manager().count(), 0);
  ProgramWindowDestroyed(kWindow);
  DeleteFileA((std::string(folder) + "wl-window-downloads.mp4.part").c_str());
}
#endif

}  // namespace
}  // namespace download
