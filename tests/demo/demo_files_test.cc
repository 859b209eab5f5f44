// The CDN's files: bytes made from the path alone, and Range headers read against a length.
#include "demo/demo_files.h"

#include <gtest/gtest.h>

#include <set>

namespace demo {
namespace {

TEST(DemoFilesTest, AnySliceIsThatPartOfTheFileAndPathsDiffer) {
  DemoFile file = MakeFile("/hd/93544960a7c3e9.mp4");
  const std::string whole = file.Expected();
  ASSERT_EQ(whole.size(), file.length);
  for (uint64_t offset : {uint64_t{0}, uint64_t{7}, uint64_t{13}, uint64_t{65535},
                          file.length - 9}) {  // across word boundaries
    for (uint64_t count : {1, 7, 9}) {
      EXPECT_EQ(file.Bytes(offset, count), whole.substr(offset, count)) << offset << "+" << count;
    }
  }
  EXPECT_EQ(file.Bytes(file.length - 4, 4 + kLongerExtraBytes).substr(0, 4), whole.substr(whole.size() - 4));
  std::set<uint64_t> lengths;
  std::set<std::string> starts{whole.substr(0, 64)};
  for (int i = 0; i < 20; ++i) {
    DemoFile other = MakeFile("/sd/" + std::to_string(i) + ".mp4");
    EXPECT_GE(other.length, kMinFileLength);
    EXPECT_LT(other.length, kMinFileLength + kFileLengthSpread);
    lengths.insert(other.length);
    starts.insert(other.Bytes(0, 64));
  }
  EXPECT_GT(lengths.size(), 15u);
  EXPECT_EQ(starts.size(), 21u);
}

TEST(DemoFilesTest, RangeHeaders) {
  struct Case {
    const char* header;
    RangeRequest::Kind kind;
    uint64_t first, last;
  } cases[] = {
      {"bytes=0-99", RangeRequest::kPart, 0, 99},
      {"bytes=500-", RangeRequest::kPart, 500, 999},
      {"bytes=-100", RangeRequest::kPart, 900, 999},
      {"bytes=-5000", RangeRequest::kPart, 0, 999},       // a suffix longer than the file: all of it
      {"bytes=990-5000", RangeRequest::kPart, 990, 999},  // the end clamped to the file
      {"bytes=1000-", RangeRequest::kUnsatisfiable, 0, 0},
      {"bytes=-0", RangeRequest::kUnsatisfiable, 0, 0},
      {"bytes=0-1,5-6", RangeRequest::kWhole, 0, 0},  // several ranges are not served
      {"items=0-9", RangeRequest::kWhole, 0, 0},
      {"bytes=9-3", RangeRequest::kWhole, 0, 0},
      {"bytes=a-9", RangeRequest::kWhole, 0, 0},
      {"bytes=-", RangeRequest::kWhole, 0, 0},
  };
  for (const Case& c : cases) {
    RangeRequest r = ReadRange(c.header, 1000);
    EXPECT_EQ(r.kind, c.kind) << c.header;
    if (c.kind == RangeRequest::kPart) {
      EXPECT_EQ(r.first, c.first) << c.header;
      EXPECT_EQ(r.last, c.last) << c.header;
    }
  }
}

}  // namespace
}  // namespace demo
