// What the login dialog keeps and shows, without a window: the cookies held and the file they
// live in, the lines the dialog lists (never a value) and the note under the list. Both window
// backends of the dialog show what it gives; each change is saved at once, so that the next
// lookup has the login whether or not the dialog is still open.
//
// Texts it hands out are code page 936 bytes; a pasted line and the file's bytes are taken as
// they come (UTF-8). Ownership: a plain object, owned by its dialog. Thread contract: one thread.
#ifndef APP_LOGIN_EDITOR_H_
#define APP_LOGIN_EDITOR_H_

#include <string>
#include <string_view>
#include <vector>

#include "net/login_cookies.h"

namespace app {

// One line of the dialog's list, each cell in code page 936.
struct LoginRow {
  std::string name;
  std::string domain;
  std::string expires;  // local time "yyyy-MM-dd HH:mm", or "浏览器会话结束时"
  std::string secure;   // "是" for a cookie that goes over https only, else empty

  bool operator==(const LoginRow&) const = default;
};

class LoginEditor {
 public:
  // Reads the cookies kept in `path` (the file system's bytes); note() says when it cannot.
  explicit LoginEditor(std::string path);

  // A Cookie header line as pasted. Returns how many cookies were taken; with none the note
  // asks for a line of the right form and nothing is saved.
  int AddLine(std::string_view line);
  // A cookies.txt file picked by the user (`path`: the file system's bytes, UTF-8 on Windows).
  // Returns how many were taken, -1 when the file cannot be read.
  int ImportFile(const std::string& path);
  // Forgets every cookie (and removes the file).
  void Clear();
  // After cookies were added to store() by other means (a browser's store): saves them and
  // notes how many came; `taken` < 0 notes `failure` instead.
  void Added(int taken, const char* failure);

  net::LoginCookies& store() { return store_; }
  bool empty() const { return store_.empty(); }
  std::vector<LoginRow> Rows() const;
  const std::string& note() const { return note_; }

 private:
  void Save(int taken, const char* done);

  net::LoginCookies store_;
  std::string path_;
  std::string note_;
};

}  // namespace app

#endif  // APP_LOGIN_EDITOR_H_
