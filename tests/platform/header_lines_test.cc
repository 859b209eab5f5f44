// Reading the Content-Range of a ranged answer: the ranges it names and what does not add up.
#include "platform/http/header_lines.h"

#include <gtest/gtest.h>

namespace platform::http {
namespace {

TEST(ContentRangeTest, ReadsRangesAndRefusesWhatDoesNotAddUp) {
  ContentRange r;
  ASSERT_TRUE(ParseContentRange("bytes 100-199/1000", &r));
  EXPECT_EQ(std::make_tuple(r.first, r.last, r.total), std::make_tuple(100, 199, 1000));
  ASSERT_TRUE(ParseContentRange("Bytes 0-9/*", &r));
  EXPECT_EQ(r.total, -1);
  ASSERT_TRUE(ParseContentRange("bytes */1000", &r));
  EXPECT_EQ(std::make_tuple(r.first, r.last, r.total), std::make_tuple(-1, -1, 1000));
  for (const char* bad : {"bytes 10-5/100", "bytes 0-100/100", "bytes */*", "items 0-1/2", "bytes 1-2",
                          "bytes -5/10", "bytes 0-9/x", ""}) {
    EXPECT_FALSE(ParseContentRange(bad, &r)) << bad;
  }
}

}  // namespace
}  // namespace platform::http
