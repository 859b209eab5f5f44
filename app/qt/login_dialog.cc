// The login dialog on the Qt toolkit: a QDialog child of the main window's widget.
#include "app/login_dialog.h"

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
#include "app/main_window.h"
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

class LoginDialogWindow : public QDialog, public LoginDialog {
 public:
  explicit LoginDialogWindow(QWidget* parent) : QDialog(parent), editor_(net::LoginCookies::DefaultPath()) {
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
    close_ = Button(bottom, "closeLogin", "关闭");
    layout->addLayout(bottom);
    connect(add_, &QPushButton::clicked, this, [this] {
      if (editor_.AddLine(line_->toPlainText().toUtf8().toStdString()) > 0) line_->clear();
      Refresh();
    });
    connect(import, &QPushButton::clicked, this, [this] {
      const QString file = QFileDialog::getOpenFileName(this, Q("导入 cookies.txt"), QString(),
                                                        QStringLiteral("cookies.txt (*.txt);;* (*)"));
      if (!file.isEmpty()) ImportPicked(QFile::encodeName(file).toStdString());
    });
    connect(firefox, &QPushButton::clicked, this, [this] {
      const std::vector<std::string> stores = net::LoginCookies::FirefoxStores();
      editor_.Added(stores.empty() ? -1 : editor_.store().AddFirefoxStore(stores.front()),
                    "无法读取 Firefox 的 cookie。");
      Refresh();
    });
    connect(clear_, &QPushButton::clicked, this, [this] {
      editor_.Clear();
      Refresh();
    });
    connect(close_, &QPushButton::clicked, this, &QDialog::close);
    Refresh();
    resize(640, 420);
  }

  void PasteAndAdd(std::string_view line) override {
    line_->setPlainText(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
    add_->click();
  }
  void ImportPicked(const std::string& path) override {
    editor_.ImportFile(path);
    Refresh();
  }
  std::string FieldText() const override { return line_->toPlainText().toUtf8().toStdString(); }
  std::vector<LoginRow> ListedRows() const override {
    std::vector<LoginRow> rows;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
      const QTreeWidgetItem* item = list_->topLevelItem(i);
      rows.push_back({ui::FromQString(item->text(0)), ui::FromQString(item->text(1)),
                      ui::FromQString(item->text(2)), ui::FromQString(item->text(3))});
    }
    return rows;
  }
  std::string Note() const override { return ui::FromQString(note_->text()); }
  void PressClear() override { clear_->click(); }
  void PressClose() override { close_->click(); }
  bool IsShown() const override { return isVisible(); }

 private:
  QPushButton* Button(QHBoxLayout* row, const char* name, const char* caption) {
    auto* b = new QPushButton(Q(caption), this);
    b->setObjectName(name);
    b->setAutoDefault(false);
    row->addWidget(b);
    return b;
  }

  // The list and the note from the editor; the values never leave it.
  void Refresh() {
    list_->clear();
    for (const LoginRow& row : editor_.Rows()) {
      auto* item = new QTreeWidgetItem(list_);
      item->setText(0, ui::ToQString(row.name));
      item->setText(1, ui::ToQString(row.domain));
      item->setText(2, ui::ToQString(row.expires));
      item->setText(3, ui::ToQString(row.secure));
    }
    note_->setText(ui::ToQString(editor_.note()));
    clear_->setEnabled(!editor_.empty());
  }

  LoginEditor editor_;
  QPlainTextEdit* line_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* clear_ = nullptr;
  QPushButton* close_ = nullptr;
  QTreeWidget* list_ = nullptr;
  QLabel* note_ = nullptr;
};

LoginDialogWindow* FindDialog(QWidget* window) {
  return window ? window->findChild<LoginDialogWindow*>(kDialogName, Qt::FindDirectChildrenOnly) : nullptr;
}

}  // namespace

LoginDialog* ShowLoginDialog() {
  QWidget* window = MainWindowWidget();
  if (window == nullptr) return nullptr;
  LoginDialogWindow* dialog = FindDialog(window);
  if (dialog == nullptr) dialog = new LoginDialogWindow(window);  // owned by the window, deleted when closed
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
  return dialog;
}

LoginDialog* OpenLoginDialog() { return FindDialog(MainWindowWidget()); }

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

}  // namespace app
