// The login dialog ("登录信息…"): the user hands the program the cookies of their own browser
// session (a pasted Cookie header line, a cookies.txt file, and on Linux Firefox's cookie store),
// sees which are held (names, domains, expiry: never values) and clears them. What it keeps is
// app/login_editor.h's; each change is saved at once, and the next lookup reads the file. Also:
// the question a refused lookup asks, and the context menu entries that open the dialog.
//
// One header, one backend per window system: app/qt/login_dialog.cc, app/win/login_dialog.cc.
// Ownership: the dialog belongs to the main window (destroyed when closed, or with the window);
// at most one is open. A LoginDialog pointer is valid until the dialog closes: look it up again
// with OpenLoginDialog() after events have run. Thread contract: GUI thread only.
#ifndef APP_LOGIN_DIALOG_H_
#define APP_LOGIN_DIALOG_H_

#include <string>
#include <string_view>
#include <vector>

#include "app/login_editor.h"

namespace app {

// The open dialog as its user works it. Each call goes through the dialog's own controls (the
// field's text, a button's click, the list's lines as shown), so that a test sees what a user
// would.
class LoginDialog {
 public:
  virtual ~LoginDialog() = default;
  // Puts `line` (UTF-8, as pasted) into the field and presses "添加".
  virtual void PasteAndAdd(std::string_view line) = 0;
  // What "导入 cookies.txt…" does once `path` (the file system's bytes) was picked.
  virtual void ImportPicked(const std::string& path) = 0;
  // The field's text (UTF-8): emptied once a line was taken.
  virtual std::string FieldText() const = 0;
  // The list's lines as shown, and the note under it, in code page 936.
  virtual std::vector<LoginRow> ListedRows() const = 0;
  virtual std::string Note() const = 0;
  // Presses "全部清除" (disabled while nothing is held: then nothing happens), "关闭".
  virtual void PressClear() = 0;
  virtual void PressClose() = 0;
  virtual bool IsShown() const = 0;
};

// Opens the dialog over the main window, or raises the open one; returns it (null when the
// main window is not live). Does not wait for it to close.
LoginDialog* ShowLoginDialog();
// The open dialog, or null.
LoginDialog* OpenLoginDialog();
// Asks whether to give a login ("…是否填写登录信息？"); yes opens the dialog. Waits for the answer.
void OfferLogin();
// Adds "登录信息…" to the context menus of the result grid (after its own entries) and of the
// address field (after the edit's own). Shared by both window systems (app/login_menus.cc).
void AttachLoginMenus();

}  // namespace app

#endif  // APP_LOGIN_DIALOG_H_
