// The result buffer's growth rule and its hand-over of finished values.
#include "runtime/result_buffer.h"

#include <gtest/gtest.h>

#include "runtime/values.h"

namespace rt {
namespace {

TEST(ResultBufferTest, ResizeKeepsOrMovesByTheRule) {
  ResultBuffer b;
  b.Resize(10);
  EXPECT_EQ(b.capacity(), 10u + 128);  // 128 more than requested
  const unsigned char* block = b.data();
  b.Resize(100);  // fits: kept
  EXPECT_EQ(b.data(), block);
  b.Resize(0);  // fits, 138 unused: kept
  EXPECT_EQ(b.data(), block);
  b.Resize(139);  // does not fit: moved
  EXPECT_EQ(b.capacity(), 139u + 128);
  b.Resize(1000);
  std::memset(b.data(), 'x', 1000);
  b.Resize(700);  // 428 would stay unused: moved to 828, contents kept
  EXPECT_EQ(b.capacity(), 700u + 128);
  EXPECT_EQ(b.size(), 700u);
  EXPECT_EQ(b.data()[699], 'x');
}

TEST(ResultBufferTest, AppendingByteByByteAllocatesRarely) {
  ResultBuffer b;
  int moves = 0;
  const unsigned char* last = nullptr;
  for (int i = 0; i < 100000; ++i) {
    b.AppendByte(static_cast<unsigned char>('a' + i % 26));
    if (b.data() != last) ++moves, last = b.data();
  }
  EXPECT_LT(moves, 20);
  EXPECT_EQ(b.size(), 100000u);
  EXPECT_EQ(b.data()[99999], 'a' + 99999 % 26);
}

TEST(ResultBufferTest, TakeGivesNullForEmptyAndCopiesOtherwise) {
  ResultBuffer b;
  EXPECT_EQ(b.TakeText(), nullptr);
  EXPECT_EQ(b.TakeByteSet(), nullptr);
  b.Append("ab\0c", 4);
  b.AppendFill('-', 2);
  ByteSet bytes = ByteSet::Adopt(b.TakeByteSet());
  EXPECT_EQ(bytes.view(), std::string_view("ab\0c--", 6));
  Text t = Text::Adopt(b.TakeText());
  EXPECT_EQ(t.view(), "ab");  // a text ends at its first zero
  EXPECT_EQ(b.size(), 0u);    // the text took the buffer's block
  EXPECT_EQ(b.TakeText(), nullptr);
  b.Reserve(2000);
  b.AppendFill('y', 10);
  Text small = Text::Adopt(b.TakeText());  // 10 of 2128 bytes used: trimmed, contents kept
  EXPECT_EQ(small.view(), "yyyyyyyyyy");
}

}  // namespace
}  // namespace rt
