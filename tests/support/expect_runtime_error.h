// Death-test support: a runtime error ends the process with exit code -1 after its report
// (status 255 on Linux; Windows keeps the whole code).
// In the child, the message box is replaced by a hook that compares the report with the
// expected text and prints the verdict, which the parent matches.
#ifndef TESTS_SUPPORT_EXPECT_RUNTIME_ERROR_H_
#define TESTS_SUPPORT_EXPECT_RUNTIME_ERROR_H_

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/message_box.h"

namespace testing_support {

#if defined(_WIN32)
inline constexpr int kRuntimeErrorExitStatus = -1;
#else
inline constexpr int kRuntimeErrorExitStatus = 255;
#endif

inline std::string Escaped(const std::string& s) {
  std::string out;
  char buf[8];
  for (unsigned char c : s) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return out;
}

// Prints "REPORT-MATCH" when the box shows exactly `expected` under the caption "错误".
inline void ExpectReport(const std::string& expected) {
  platform::SetMessageBoxHook([expected](const std::string& text, const std::string& caption) {
    if (text == expected && caption == "错误") {
      std::fprintf(stderr, "REPORT-MATCH\n");
    } else {
      std::fprintf(stderr, "REPORT-MISMATCH caption=%s text=%s expected=%s\n", Escaped(caption).c_str(),
                   Escaped(text).c_str(), Escaped(expected).c_str());
    }
  });
}

// Prints "REPORT-CONTAINS" when the report holds `part`.
inline void ExpectReportContaining(const std::string& part) {
  platform::SetMessageBoxHook([part](const std::string& text, const std::string&) {
    std::fprintf(stderr, "%s %s\n",
                 text.find(part) != std::string::npos ? "REPORT-CONTAINS" : "REPORT-MISSING",
                 Escaped(text).c_str());
  });
}

}  // namespace testing_support

// The statement must end the process with exit code -1 and report `expected`.
#define EXPECT_RUNTIME_ERROR(statement, expected) \
  EXPECT_EXIT(                                    \
      {                                           \
        testing_support::ExpectReport(expected);  \
        statement;                                \
      },                                          \
      ::testing::ExitedWithCode(testing_support::kRuntimeErrorExitStatus), "REPORT-MATCH")

#define EXPECT_RUNTIME_ERROR_CONTAINING(statement, part) \
  EXPECT_EXIT(                                           \
      {                                                  \
        testing_support::ExpectReportContaining(part);   \
        statement;                                       \
      },                                                 \
      ::testing::ExitedWithCode(testing_support::kRuntimeErrorExitStatus), "REPORT-CONTAINS")

#endif  // TESTS_SUPPORT_EXPECT_RUNTIME_ERROR_H_
