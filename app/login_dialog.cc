#include "app/login_dialog.h"

#include <QDateTime>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/constants.h"
#include "app/download_commands.h"
#include "app/main_window.h"
#include "net/login_cookies.h"
#include "ui/context_menu.h"
#include "ui/qt/native_view.h"
#include "ui/qt/qt_text.h"
#include "ui/window_manager.h"
#include "ui/window_template.h"

namespace app {
namespace {

constexpr char kDialogName[] = "loginDialog";

QWidget* MainWindowWidget() {
  ui::Control* window = ui::FindLiveControl(kMainWindowId, ui::kWindowUnitId);
  return window ? ui::WidgetOf(window) : nullptr;
}

QString Q(const char* gbk) { return ui::ToQString(gbk); }

class LoginDialog : public QDialog {
 public:
  explicit LoginDialog(QWidget* parent)
      : QDialog(parent), store_(kSiteDomain), path_(net::LoginCookies::DefaultPath()) {
    setObjectName(kDialogName);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Q("登录信息"));
    auto* layout = new QVBoxLayout(this);
    auto* help = new QLabel(Q("网站可能只回答登录的用户。在浏览器中登录网站，打开开发者工具的“网络”页，"
                              "复制一个网站请求的 Cookie 请求头，粘贴到下面（如 “Cookie: z_c0=…; d_c0=…”）；"
                              "或者导入浏览器扩展导出的 cookies.txt，或者直接读取 Firefox 的 cookie。\n"
                              "登录信息只发给网站本身的主机，保存在只有你能读的文件里。"),
                            this);
    help->setWordWrap(true);
    layout->addWidget(help);
    line_ = new QPlainTextEdit(this);
    line_->setObjectName("cookieLine");
    line_->setPlaceholderText(QStringLiteral("Cookie: z_c0=…; d_c0=…"));
    line_->setFixedHeight(64);
    layout->addWidget(line_);
    auto* buttons = new QHBoxLayout();
    add_ = Button(buttons, "addCookieLine", "添加");
    auto* import = Button(buttons, "importCookiesTxt", "导入 cookies.txt…");
    auto* firefox = Button(buttons, "readFirefox", "读取 Firefox 的 cookie");
    firefox->setEnabled(!net::LoginCookies::FirefoxStores().empty());
    buttons->addStretch();
    layout->addLayout(buttons);
    list_ = new QTreeWidget(this);
    list_->setObjectName("cookieList");
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({Q("名称"), Q("域"), Q("过期"), Q("仅 https")});
    list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(list_);
    note_ = new QLabel(this);
    note_->setObjectName("loginNote");
    layout->addWidget(note_);
    auto* bottom = new QHBoxLayout();
    clear_ = Button(bottom, "clearCookies", "全部清除");
    bottom->addStretch();
    auto* close = Button(bottom, "closeLogin", "关闭");
    layout->addLayout(bottom);
    connect(add_, &QPushButton::clicked, this, [this] { AddLine(); });
    connect(import, &QPushButton::clicked, this, [this] { ImportFile(); });
    connect(firefox, &QPushButton::clicked, this, [this] { ReadFirefox(); });
    connect(clear_, &QPushButton::clicked, this, [this] {
      store_.Clear();
      Changed(0, "已清除登录信息。");
    });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    if (!store_.Load(path_)) note_->setText(Q("无法读取保存的登录信息。"));
    Refresh();
    resize(640, 420);
  }

 private:
  QPushButton* Button(QHBoxLayout* row, const char* name, const char* caption) {
    auto* b = new QPushButton(Q(caption), this);
    b->setObjectName(name);
    b->setAutoDefault(false);
    row->addWidget(b);
    return b;
  }

  void AddLine() {
    const int taken = store_.AddHeaderLine(line_->toPlainText().toUtf8().toStdString());
    if (taken == 0) {
      note_->setText(Q("没有找到 cookie：请粘贴形如 “Cookie: 名称=值; 名称=值” 的一行。"));
      return;
    }
    line_->clear();
    Changed(taken, nullptr);
  }

  void ImportFile() {
    const QString file = QFileDialog::getOpenFileName(this, Q("导入 cookies.txt"), QString(),
                                                      QStringLiteral("cookies.txt (*.txt);;* (*)"));
    if (file.isEmpty()) return;
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
      note_->setText(Q("无法读取这个文件。"));
      return;
    }
    Changed(store_.AddNetscapeText(in.readAll().toStdString()), nullptr);
  }

  void ReadFirefox() {
    const std::vector<std::string> stores = net::LoginCookies::FirefoxStores();
    const int taken = stores.empty() ? -1 : store_.AddFirefoxStore(stores.front());
    if (taken < 0) {
      note_->setText(Q("无法读取 Firefox 的 cookie。"));
      return;
    }
    Changed(taken, nullptr);
  }

  // Saves at once, so that the next lookup has the login whether or not the dialog is open.
  void Changed(int taken, const char* done) {
    Refresh();
    if (!store_.Save(path_)) {
      note_->setText(Q("无法保存登录信息。"));
      return;
    }
    if (done != nullptr) {
      note_->setText(Q(done));
    } else if (taken == 0) {
      note_->setText(Q("没有找到这个网站的 cookie。"));
    } else {
      note_->setText(Q("已添加 %1 个 cookie。").arg(taken));
    }
  }

  // Names, domains, expiry and the Secure flag; the values never leave the store.
  void Refresh() {
    list_->clear();
    for (const net::LoginCookie& c : store_.cookies()) {
      const QString expires =
          c.expires == 0
              ? Q("浏览器会话结束时")
              : QDateTime::fromSecsSinceEpoch(c.expires).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
      auto* item = new QTreeWidgetItem(list_);
      item->setText(0, QString::fromUtf8(c.name));
      item->setText(1, QString::fromUtf8(c.domain));
      item->setText(2, expires);
      item->setText(3, c.secure ? Q("是") : QString());
    }
    clear_->setEnabled(!store_.empty());
  }

  net::LoginCookies store_;
  std::string path_;
  QPlainTextEdit* line_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* clear_ = nullptr;
  QTreeWidget* list_ = nullptr;
  QLabel* note_ = nullptr;
};

ui::MenuEntry LoginEntry() {
  return {kLoginCaption, true, [] { ShowLoginDialog(); }};
}

}  // namespace

QDialog* ShowLoginDialog() {
  QWidget* window = MainWindowWidget();
  if (window == nullptr) return nullptr;
  auto* dialog = window->findChild<QDialog*>(kDialogName, Qt::FindDirectChildrenOnly);
  if (dialog == nullptr) dialog = new LoginDialog(window);  // owned by the window, deleted when closed
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
  return dialog;
}

void OfferLogin() {
  QWidget* window = MainWindowWidget();
  if (window == nullptr) return;
  // On the heap and watched: closing the main window meanwhile deletes the box with it.
  QPointer<QMessageBox> box = new QMessageBox(QMessageBox::Question, Q(kLoginQuestionTitle),
                                              Q(kLoginQuestion), QMessageBox::NoButton, window);
  QPushButton* yes = box->addButton(Q("是"), QMessageBox::YesRole);
  box->addButton(Q("否"), QMessageBox::NoRole);
  box->setDefaultButton(yes);
  box->exec();
  if (box.isNull()) return;
  const bool chosen = box->clickedButton() == yes;
  delete box.data();
  if (chosen) ShowLoginDialog();
}

void AttachLoginMenus() {
  ui::SetContextMenuProvider(kMainWindowId, k高级表格1, [](int32_t row) {
    std::vector<ui::MenuEntry> entries = ResultGridMenu(row);
    entries.push_back({});
    entries.push_back(LoginEntry());
    return entries;
  });
  ui::SetContextMenuProvider(kMainWindowId, k编辑框2,
                             [](int32_t) { return std::vector<ui::MenuEntry>{LoginEntry()}; });
}

}  // namespace app
