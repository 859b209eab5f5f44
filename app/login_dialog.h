// The login dialog ("登录信息…"): the user hands the program the cookies of their own browser
// session (a pasted Cookie header line, a cookies.txt file, Firefox's cookie store), sees which
// are held (names, domains, expiry: never values) and clears them. The cookies live in the
// login file (net::LoginCookies::DefaultPath()); each change is saved at once, and the next
// lookup reads them. Also: the question a refused lookup asks, and the context menu entries
// that open the dialog.
//
// Ownership: the dialog belongs to the main window (deleted when closed, or with the window);
// at most one is open. Thread contract: GUI thread only.
#ifndef APP_LOGIN_DIALOG_H_
#define APP_LOGIN_DIALOG_H_

class QDialog;

namespace app {

// Opens the dialog over the main window, or raises the open one; returns it (null when the
// main window is not live). Does not wait for it to close.
QDialog* ShowLoginDialog();
// Asks whether to give a login ("…是否填写登录信息？"); yes opens the dialog. Waits for the answer.
void OfferLogin();
// Adds "登录信息…" to the context menus of the result grid (after its own entries) and of the
// address field (after the edit's own).
void AttachLoginMenus();

}  // namespace app

#endif  // APP_LOGIN_DIALOG_H_
