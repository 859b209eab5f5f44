// The lookup's request sequence against the demo site, through the proxy under the real host
// names, on both platforms: the rows must be what the demo's content says. On Linux the site runs
// in this process; the Windows build reaches the Linux build's videolens-demo, started beside the
// tests, through WL_DEMO_PROXY, and reads the demo's expected rows from the file WL_DEMO_ROWS
// names (written by demo-rows; see docs/testing.md).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/program.h"
#include "platform/com/automation.h"
#include "runtime/dll_commands.h"
#include "tests/support/lookup_sequence.h"

#if !defined(_WIN32)
#include "demo/demo_site.h"
#include "tests/support/demo_expected_rows.h"
#endif

namespace testing_support {
namespace {

// Far above the sequence's few seconds at the demo's full speed, far below CTest's limit.
constexpr double kLimitSeconds = 60;

class DemoLookupSequenceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const rt::ProgramHeader& program = app::ProgramDescription();
    rt::InitDllCommands(program.dllCommands, program.dllCommandCount);
    platform::com::RegisterBuiltinClasses();
#if defined(_WIN32)
    // Copied: setting a variable may move the environment that getenv's answers point into.
    const char* proxyVariable = std::getenv("WL_DEMO_PROXY");
    const char* rowsVariable = std::getenv("WL_DEMO_ROWS");
    if (proxyVariable == nullptr || rowsVariable == nullptr) return;
    const std::string proxy = proxyVariable, rows = rowsVariable;
    _putenv_s("https_proxy", proxy.c_str());
    _putenv_s("http_proxy", proxy.c_str());
    std::ifstream in(rows, std::ios::binary);
    ASSERT_TRUE(in) << "cannot read " << rows;
    std::ostringstream text;
    text << in.rdbuf();
    expected_ = text.str();
    ASSERT_FALSE(expected_.empty()) << rows << " is empty";
#else
    env_ = std::make_unique<demo::DemoEnvironment>();
    ASSERT_TRUE(env_->Start());
    proxy_ = std::make_unique<demo::ProxyVariables>(env_->ProxyUrl());
    for (const std::string& path : ComparedDemoPages())
      expected_ += ExpectedDemoRows(env_->site().content(), path);
#endif
  }
  static void TearDownTestSuite() {
#if !defined(_WIN32)
    proxy_.reset();
    env_.reset();
#endif
    expected_.clear();
  }
  void SetUp() override {
    if (expected_.empty()) GTEST_SKIP() << "no demo site: run through scripts/test.sh --windows";
  }

  // The page addresses of the expected rows, in their order.
  static std::vector<std::string> Pages() {
    std::vector<std::string> pages;
    std::istringstream in(expected_);
    for (std::string line; std::getline(in, line);) {
      if (line.starts_with("page\t")) pages.push_back(line.substr(5, line.find('\t', 5) - 5));
    }
    return pages;
  }

  static inline std::string expected_;  // the rows' file form, every compared page
#if !defined(_WIN32)
  static inline std::unique_ptr<demo::DemoEnvironment> env_;
  static inline std::unique_ptr<demo::ProxyVariables> proxy_;
#endif
};

TEST_F(DemoLookupSequenceTest, EveryComparedPageGivesTheRowsOfTheDemosContent) {
  const std::vector<std::string> pages = Pages();
  ASSERT_GE(pages.size(), 4u);
  size_t rowsSeen = 0;
  for (const std::string& page : pages) {
    SCOPED_TRACE(page);
    std::string title;
    std::vector<LookupRow> expected;
    ASSERT_TRUE(RowsFromLines(expected_, page, &title, &expected));
    ASSERT_FALSE(expected.empty());
    const LookupResult result = RunLookupSequence(page, kLimitSeconds);
    ASSERT_TRUE(result.complete);
    EXPECT_EQ(result.title, Utf8ToCodePage(title));
    ASSERT_EQ(result.rows.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      SCOPED_TRACE("row " + std::to_string(i + 1));
      const LookupRow& row = result.rows[i];
      EXPECT_EQ(row.number, expected[i].number);
      EXPECT_EQ(row.title, Utf8ToCodePage(expected[i].title));
      EXPECT_EQ(row.addresses, expected[i].addresses);
      EXPECT_EQ(CoverDigest(row.cover), expected[i].cover);
    }
    rowsSeen += result.rows.size();
  }
  EXPECT_GE(rowsSeen, 50u);  // the benchmark's page is among them
}

}  // namespace
}  // namespace testing_support
