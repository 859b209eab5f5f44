// The demo program's command line.
#include "demo/demo_options.h"

#include <gtest/gtest.h>

namespace demo {
namespace {

TEST(DemoOptionsTest, ReadsEveryOptionInAnyOrder) {
  DemoOptions options;
  std::string error;
  ASSERT_TRUE(ParseDemoOptions({"--latency", "80", "--port-file", "p", "--port", "65535"}, &options, &error));
  EXPECT_EQ(options.latency_ms, 80);
  EXPECT_EQ(options.port, 65535);
  EXPECT_EQ(options.port_file, "p");
  ASSERT_TRUE(ParseDemoOptions({"--latency", "60000", "--latency", "0"}, &options, &error));
  EXPECT_EQ(options.latency_ms, 0);  // the last one counts; 0 is no latency
}

TEST(DemoOptionsTest, RefusesBadValuesAndNamesTheProblem) {
  const std::vector<std::vector<std::string>> bad = {
      {"--latency", "-1"},   {"--latency", "60001"},
      {"--latency", "12x"},  {"--latency", ""},
      {"--latency", " 5"},   {"--latency", "+5"},
      {"--latency", "0x10"}, {"--latency", "99999999999999999999"},
      {"--latency"},         {"--port", "65536"},
      {"--port-file"},       {"--verbose"},
  };
  for (const auto& args : bad) {
    DemoOptions options;
    std::string error;
    EXPECT_FALSE(ParseDemoOptions(args, &options, &error)) << args[0];
    EXPECT_NE(error.find(args[0]), std::string::npos) << error;
    EXPECT_EQ(options.latency_ms, 0);
  }
}

}  // namespace
}  // namespace demo
