// Switches the test process to a German locale (decimal comma) for a scope, building one in a
// private folder with localedef when none is installed; active() is false when neither works.
#ifndef TESTS_SUPPORT_GERMAN_LOCALE_H_
#define TESTS_SUPPORT_GERMAN_LOCALE_H_

#include <clocale>
#include <cstdlib>
#include <string>

namespace testing_support {

class GermanLocale {
 public:
  GermanLocale() : saved_(std::setlocale(LC_ALL, nullptr)) {
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr) {
      active_ = true;
      return;
    }
#if defined(_WIN32)
    // The C runtime on Windows names its locales by language and country; every system has them.
    active_ = std::setlocale(LC_ALL, "German_Germany.1252") != nullptr;
#else
    char dir[] = "/tmp/wl-locale-XXXXXX";
    if (mkdtemp(dir) == nullptr) return;
    folder_ = dir;
    std::string command = "localedef -i de_DE -f UTF-8 " + folder_ + "/de_DE.UTF-8 >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return;
    setenv("LOCPATH", folder_.c_str(), 1);
    active_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
#endif
  }
  ~GermanLocale() {
    std::setlocale(LC_ALL, saved_.c_str());
#if !defined(_WIN32)
    unsetenv("LOCPATH");
    if (!folder_.empty()) (void)std::system(("rm -rf " + folder_).c_str());
#endif
  }
  GermanLocale(const GermanLocale&) = delete;
  GermanLocale& operator=(const GermanLocale&) = delete;
  bool active() const { return active_; }

 private:
  std::string saved_;
  std::string folder_;
  bool active_ = false;
};

}  // namespace testing_support

#endif  // TESTS_SUPPORT_GERMAN_LOCALE_H_
