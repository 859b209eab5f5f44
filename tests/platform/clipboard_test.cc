#include "platform/clipboard.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace platform {
namespace {

TEST(ClipboardTest, TextTravelsAsCodePage936AndOnlyOnTheGuiThread) {
  ASSERT_TRUE(SetClipboardText("视频 https://例子/a?b=1"));
  EXPECT_EQ(ClipboardText(), "视频 https://例子/a?b=1");
  bool setElsewhere = true;
  std::string readElsewhere = "unchanged";
  std::thread([&] {
    setElsewhere = SetClipboardText("x");
    readElsewhere = ClipboardText();
  }).join();
  EXPECT_FALSE(setElsewhere);
  EXPECT_EQ(readElsewhere, "");
  EXPECT_EQ(ClipboardText(), "视频 https://例子/a?b=1");

  // A clipboard that cannot be opened stays as it was; a failed copy leaves it empty.
  SetClipboardFailureForTesting(ClipboardFailure::kOpen);
  EXPECT_FALSE(SetClipboardText("y"));
  SetClipboardFailureForTesting(ClipboardFailure::kNone);
  EXPECT_EQ(ClipboardText(), "视频 https://例子/a?b=1");
  SetClipboardFailureForTesting(ClipboardFailure::kAllocate);
  EXPECT_FALSE(SetClipboardText("z"));
  SetClipboardFailureForTesting(ClipboardFailure::kNone);
  EXPECT_EQ(ClipboardText(), "");
}

}  // namespace
}  // namespace platform
