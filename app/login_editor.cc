#include "app/login_editor.h"

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/constants.h"
#include "platform/codepage.h"

namespace app {
namespace {

std::string LocalTime(int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm local{};
#ifdef _WIN32
  if (localtime_s(&local, &t) != 0) return {};
#else
  if (localtime_r(&t, &local) == nullptr) return {};
#endif
  char text[32];
  const size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
  return std::string(text, n);
}

}  // namespace

LoginEditor::LoginEditor(std::string path) : store_(kSiteDomain), path_(std::move(path)) {
  if (!store_.Load(path_)) note_ = "无法读取保存的登录信息。";
}

int LoginEditor::AddLine(std::string_view line) {
  const int taken = store_.AddHeaderLine(line);
  if (taken == 0) {
    note_ = "没有找到 cookie：请粘贴形如 “Cookie: 名称=值; 名称=值” 的一行。";
    return 0;
  }
  Save(taken, nullptr);
  return taken;
}

int LoginEditor::ImportFile(const std::string& path) {
  // The path's bytes are UTF-8 on Windows, where a narrow name would be read in the ANSI page.
  std::ifstream in(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
  if (!in.is_open()) {
    note_ = "无法读取这个文件。";
    return -1;
  }
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const int taken = store_.AddNetscapeText(text);
  Save(taken, nullptr);
  return taken;
}

void LoginEditor::Clear() {
  store_.Clear();
  Save(0, "已清除登录信息。");
}

void LoginEditor::Added(int taken, const char* failure) {
  if (taken < 0) {
    note_ = failure;
    return;
  }
  Save(taken, nullptr);
}

void LoginEditor::Save(int taken, const char* done) {
  if (!store_.Save(path_)) {
    note_ = "无法保存登录信息。";
  } else if (done != nullptr) {
    note_ = done;
  } else if (taken == 0) {
    note_ = "没有找到这个网站的 cookie。";
  } else {
    note_ = "已添加 " + std::to_string(taken) + " 个 cookie。";
  }
}

std::vector<LoginRow> LoginEditor::Rows() const {
  std::vector<LoginRow> rows;
  rows.reserve(store_.cookies().size());
  for (const net::LoginCookie& c : store_.cookies()) {
    rows.push_back({platform::Utf8ToGbk(c.name), platform::Utf8ToGbk(c.domain),
                    c.expires == 0 ? std::string("浏览器会话结束时") : LocalTime(c.expires),
                    c.secure ? std::string("是") : std::string()});
  }
  return rows;
}

}  // namespace app
