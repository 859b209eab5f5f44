// The kernel's number commands, the clipboard, message processing and raw memory access.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#if !defined(_WIN32)
#include <QClipboard>
#include <QGuiApplication>
#endif

#include "platform/clipboard.h"
#include "platform/event_loop.h"
#include "runtime/errors.h"
#include "runtime/kernel.h"
#include "tests/support/expect_runtime_error.h"

namespace {

TEST(NumberTest, DivisionRemainderAndBits) {
  EXPECT_EQ(kernel::IntDivide(7, 2), 3);
  EXPECT_EQ(kernel::IntDivide(-7, 2), -3);
  EXPECT_EQ(kernel::IntDivide(100, 3, 2), 16);  // 33, then 16
  EXPECT_EQ(kernel::IntDivide(1e300, 1e-10), std::numeric_limits<double>::infinity());
  EXPECT_EQ(kernel::Remainder(7, 3), 1);
  EXPECT_EQ(kernel::Remainder(-7, 3), -1);
  EXPECT_EQ(kernel::Remainder(7.5, 2), 1.5);
  EXPECT_EQ(kernel::Remainder(100, 30, 7), 3);
  EXPECT_EQ(kernel::BitAnd(0xFF, 0x0F), 0x0F);
  EXPECT_EQ(kernel::BitAnd(-1, 0x7FFFFFFF, 0x70), 0x70);
  EXPECT_EQ(kernel::ShiftLeft(1, 33), 2);
  EXPECT_EQ(kernel::ShiftLeft(1, 31), -2147483647 - 1);
  EXPECT_EQ(kernel::ShiftRight(-8, 1), -4);
  EXPECT_EQ(kernel::ShiftRight(-8, 34), -2);
  EXPECT_EQ(kernel::ShiftRight(0x40000000, 30), 1);
  EXPECT_EQ(kernel::Abs(-2.5), 2.5);
  EXPECT_EQ(kernel::Abs(3), 3);
}

TEST(NumberDeathTest, DivisionByZeroEndsWithTheExactMessage) {
  EXPECT_RUNTIME_ERROR(kernel::IntDivide(1, 0), rt::ComposeErrorReport("不能整除于零", 0, 0, 0));
  EXPECT_RUNTIME_ERROR(kernel::IntDivide(8, 2, 0), rt::ComposeErrorReport("不能整除于零", 0, 0, 0));
  EXPECT_RUNTIME_ERROR(kernel::Remainder(1, 0), rt::ComposeErrorReport("不能求余数于零", 0, 0, 0));
}

class ClipboardTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::SetClipboardFailureForTesting(platform::ClipboardFailure::kNone); }
};

// The toolkit's own clipboard, which the Windows build has not.
#if !defined(_WIN32)
TEST_F(ClipboardTest, TextIsReadBackThroughTheToolkit) {
  ASSERT_TRUE(kernel::SetClipboardText("https://例子/视频?a=1"));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8(u8"https://例子/视频?a=1"));
  EXPECT_EQ(platform::ClipboardText(), "https://例子/视频?a=1");
  ASSERT_TRUE(kernel::SetClipboardText(""));
  EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());
}
#endif

TEST_F(ClipboardTest, FailureRules) {
  ASSERT_TRUE(kernel::SetClipboardText("before"));
  platform::SetClipboardFailureForTesting(platform::ClipboardFailure::kOpen);
  EXPECT_FALSE(kernel::SetClipboardText("x"));
  platform::SetClipboardFailureForTesting(platform::ClipboardFailure::kNone);
  EXPECT_EQ(platform::ClipboardText(), "before");  // nothing changed

  platform::SetClipboardFailureForTesting(platform::ClipboardFailure::kAllocate);
  EXPECT_FALSE(kernel::SetClipboardText("x"));
  platform::SetClipboardFailureForTesting(platform::ClipboardFailure::kNone);
  EXPECT_EQ(platform::ClipboardText(), "");  // emptied

  ASSERT_TRUE(kernel::SetClipboardText("kept"));
  bool fromOtherThread = true;
  std::thread([&] { fromOtherThread = platform::SetClipboardText("other"); }).join();
  EXPECT_FALSE(fromOtherThread);  // the clipboard cannot be opened off the GUI thread
  EXPECT_EQ(platform::ClipboardText(), "kept");
}

TEST(ProcessEventsTest, RunsWaitingEvents) {
  int ran = 0;
  ASSERT_TRUE(platform::PostToGuiThread([&] { ++ran; }));
  ASSERT_TRUE(platform::PostToGuiThread([&] { ++ran; }));
  kernel::ProcessEvents();
  EXPECT_EQ(ran, 2);
  kernel::ProcessEvents();  // nothing waiting: returns
  EXPECT_EQ(ran, 2);
}

TEST(MemoryCommandTest, ReadIntegerAndWriteMemory) {
  unsigned char buf[16];
  std::memset(buf, 0xEE, sizeof buf);
  auto address = reinterpret_cast<intptr_t>(buf);
  kernel::WriteMemory("ab", address);
  EXPECT_EQ(std::memcmp(buf, "ab\0", 3), 0);  // a text with its zero
  EXPECT_EQ(buf[3], 0xEE);
  kernel::WriteMemory(0x01020304, address + 4);
  EXPECT_EQ(kernel::ReadInteger(address + 4), 0x01020304);
  kernel::WriteMemory(-1, address + 8, 2);  // a length within the natural one
  EXPECT_EQ(kernel::ReadInteger(address + 8), static_cast<int32_t>(0xEEEEFFFF));
  kernel::WriteMemory(7, address + 8, 99);  // a longer length writes the natural 4 bytes
  EXPECT_EQ(kernel::ReadInteger(address + 8), 7);
  kernel::WriteMemory(rt::ByteSet("XYZ"), address);
  EXPECT_EQ(std::memcmp(buf, "XYZ", 3), 0);
  kernel::WriteMemory(rt::DoubleArg(2.5), address + 8);
  double d;
  std::memcpy(&d, buf + 8, 8);
  EXPECT_EQ(d, 2.5);

  // A byte array is written; an array of any other type writes nothing.
  void* bytes = rt::NewArrayBlock(2, 1);
  std::memcpy(rt::ArrayElements(bytes), "pq", 2);
  rt::ArgRecord byteArray = rt::ArgRecord::Omitted();
  byteArray.setPtr(bytes, rt::kTypeByte | rt::kArrayBit);
  kernel::WriteMemory(byteArray, address);
  EXPECT_EQ(std::memcmp(buf, "pqZ", 3), 0);
  byteArray.setPtr(bytes, rt::kTypeInt | rt::kArrayBit);
  kernel::WriteMemory(byteArray, address + 2);
  EXPECT_EQ(buf[2], 'Z');
  rt::FreeArray(bytes, 1, false);
}

}  // namespace
