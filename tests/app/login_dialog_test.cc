// The user's login end to end against the demo site: the refusal's words and question, the
// cookie given through real clicks in the dialog, where the cookies go (the site's page and
// description hosts, never the cover host), the file that keeps them, and the way back.
#include "app/login_dialog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>

#include "app/constants.h"
#include "demo/demo_content.h"
#include "net/login_cookies.h"
#include "platform/codepage.h"
#include "tests/app/demo_lookup_fixture.h"
#include "ui/qt/qt_text.h"

namespace app {
namespace {

namespace fs = std::filesystem;

class LoginDialogTest : public testing_support::DemoLookupFixture {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "videolens-login-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    config_ = pattern;
    setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
    DemoLookupFixture::SetUp();
  }
  void TearDown() override {
    DemoLookupFixture::TearDown();
    unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(config_);
  }
  void LookUp(const std::string& address) {
    SetContent(k编辑框2, address.c_str());
    QTest::mouseClick(WidgetOf(k按钮1), Qt::LeftButton);
  }
  // Answers the next question box with the button `caption`, keeping its text.
  void AnswerNextQuestion(const char* caption) {
    question_.clear();
    auto* timer = new QTimer();
    const QString button = ui::ToQString(caption);
    QObject::connect(timer, &QTimer::timeout, [this, timer, button] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      question_ = ui::FromQString(box->text());
      for (QAbstractButton* b : box->buttons()) {
        if (b->text() == button) {
          timer->stop();
          timer->deleteLater();
          b->click();
          return;
        }
      }
    });
    timer->start(20);
  }
  // Whether the request carries the login cookie, and the requests by host.
  static bool CarriesLogin(const demo::RecordedRequest& r) {
    for (const auto& [name, value] : r.headers) {
      if (name == "Cookie" && value.find(std::string(demo::kLoginCookieName) + "=" +
                                         demo::kLoginCookieValue) != std::string::npos)
        return true;
    }
    return false;
  }
  // Every request since the last clear: the login went with those to the site's page and
  // video service hosts and with no other (the cover host above all).
  void ExpectLoginOnlyToTheSite(bool sent) {
    int site = 0, others = 0;
    for (const demo::RecordedRequest& r : env_->site().Requests()) {
      const bool toSite = r.host == "www.zhihu.com" || r.host == "lens.zhihu.com";
      (toSite ? site : others) += 1;
      EXPECT_EQ(CarriesLogin(r), toSite && sent) << r.host << r.path;
    }
    EXPECT_GE(site, 3);    // the page and its two descriptions
    EXPECT_GE(others, 2);  // the covers
  }
  std::string LoginPage() const { return std::string(kSiteHost) + demo::kLoginPagePath; }

  std::string config_;
  std::string question_;
};

TEST_F(LoginDialogTest, TheLoginPageShowsItsVideosOnceTheCookieIsGivenInTheDialog) {
  const demo::DemoPage& page = *env_->site().content().FindPage(demo::kLoginPagePath);
  // Refused: the words, and the question, whose yes opens the dialog.
  AnswerNextQuestion("是");
  LookUp(LoginPage());
  EXPECT_EQ(grid::RowCount(kResultGrid), 1);
  EXPECT_EQ(Caption(), std::string("HTTP 403") + kRefusedReason);
  EXPECT_EQ(question_, kLoginQuestion);
  LoginDialog* dialog = OpenLoginDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->IsShown());

  // A line without a cookie is refused with a hint and stays in the field; the line the demo
  // names is taken, and the field emptied.
  dialog->PasteAndAdd("Cookie:");
  EXPECT_EQ(dialog->FieldText(), "Cookie:");
  EXPECT_NE(dialog->Note().find("Cookie: 名称=值"), std::string::npos);
  dialog->PasteAndAdd("Cookie: z_c0=demo-login-7c3f9a; d_c0=second");
  EXPECT_EQ(dialog->FieldText(), "");
  EXPECT_EQ(dialog->Note(), "已添加 2 个 cookie。");
  const std::vector<LoginRow> rows = dialog->ListedRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (LoginRow{"z_c0", ".zhihu.com", "浏览器会话结束时", ""}));
  for (const LoginRow& row : rows) {
    for (const std::string* cell : {&row.name, &row.domain, &row.expires, &row.secure}) {
      EXPECT_EQ(cell->find("demo-login"), std::string::npos) << "a value shown";
    }
  }
  // The README's picture, on request (WL_SCREENSHOT_DIR names a folder).
  if (const char* folder = std::getenv("WL_SCREENSHOT_DIR")) {
    auto* widget = WidgetOf(ui::kWindowUnitId)->findChild<QDialog*>("loginDialog");
    EXPECT_TRUE(widget->grab().save(
        QDir(QString::fromLocal8Bit(folder)).filePath(QStringLiteral("login_dialog.png"))));
  }
  // Kept where only the user can read it.
  const std::string file = net::LoginCookies::DefaultPath();
  ASSERT_EQ(file, config_ + "/videolens/login-cookies.txt");
  struct stat st {};
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  dialog->PressClose();
  QApplication::processEvents();
  EXPECT_EQ(OpenLoginDialog(), nullptr);  // closed is gone

  env_->site().ClearRequests();
  LookUp(LoginPage());
  ASSERT_EQ(grid::RowCount(kResultGrid), 3);
  EXPECT_EQ(Caption(), platform::Utf8ToGbk(page.title));
  EXPECT_EQ(CellText(1, 3), platform::Utf8ToGbk(env_->site().content().FindVideo(page.ids[0])->title));
  ExpectLoginOnlyToTheSite(true);

  // Cleared in the dialog, opened this time from the address field's menu: refused again.
  auto* field = WidgetOf(k编辑框2);
  QTimer::singleShot(0, [] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QAction* login = menu->actions().back();
    EXPECT_EQ(login->text(), ui::ToQString(kLoginCaption));
    login->trigger();
    menu->close();
  });
  QContextMenuEvent ask(QContextMenuEvent::Mouse, QPoint(5, 5), field->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(qobject_cast<QPlainTextEdit*>(field)->viewport(), &ask);
  QTRY_VERIFY_WITH_TIMEOUT(OpenLoginDialog() != nullptr && OpenLoginDialog()->IsShown(), 2000);
  ASSERT_EQ(OpenLoginDialog()->ListedRows().size(), 2u);  // read back from the file
  OpenLoginDialog()->PressClear();
  EXPECT_TRUE(OpenLoginDialog()->ListedRows().empty());
  EXPECT_EQ(OpenLoginDialog()->Note(), "已清除登录信息。");
  EXPECT_FALSE(fs::exists(file));
  OpenLoginDialog()->PressClose();
  QApplication::processEvents();
  env_->site().ClearRequests();
  AnswerNextQuestion("否");
  LookUp(LoginPage());
  EXPECT_EQ(grid::RowCount(kResultGrid), 1);
  EXPECT_EQ(question_, kLoginQuestion);
  EXPECT_EQ(OpenLoginDialog(), nullptr);  // "否" opens nothing
}

// A cookies.txt as a browser extension exports it: the live cookie reaches the page and the
// descriptions, the expired one nothing, and a Secure one never a plain http page.
TEST_F(LoginDialogTest, ACookiesTxtReachesTheSiteAndExpiredOrInsecureUsesDoNot) {
  net::LoginCookies store(kSiteDomain);
  ASSERT_EQ(store.AddNetscapeText(std::string(".zhihu.com\tTRUE\t/\tTRUE\t0\t") + demo::kLoginCookieName +
                                  "\t" + demo::kLoginCookieValue +
                                  "\n"
                                  ".zhihu.com\tTRUE\t/\tFALSE\t1000000000\told\tgone\n"
                                  ".vzuu.com\tTRUE\t/\tFALSE\t0\tcdn\tnever\n"),
            2);
  ASSERT_TRUE(store.Save(net::LoginCookies::DefaultPath()));
  env_->site().ClearRequests();
  LookUp(LoginPage());
  ASSERT_EQ(grid::RowCount(kResultGrid), 3);
  ExpectLoginOnlyToTheSite(true);
  for (const demo::RecordedRequest& r : env_->site().Requests()) {
    for (const auto& [name, value] : r.headers) {
      if (name == "Cookie") {
        EXPECT_EQ(value.find("old="), std::string::npos) << r.host;
      }
    }
  }

  AnswerNextQuestion("否");
  LookUp("http://www.zhihu.com" + std::string(demo::kLoginPagePath));
  EXPECT_EQ(Caption(), std::string("HTTP 403") + kRefusedReason);
}

}  // namespace
}  // namespace app
