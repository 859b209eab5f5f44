// The kernel's byte-set commands: clipping, exact replacement, zero-filled sets.
#include <gtest/gtest.h>

#include <string>

#include "runtime/kernel.h"
#include "tests/support/expect_runtime_error.h"

namespace {

rt::ByteSet B(std::string_view s) { return rt::ByteSet(s); }

TEST(ByteClippingTest, LeftAndMidBytes) {
  rt::ByteSet abc = B("abc");
  EXPECT_EQ(kernel::ByteSetLength(abc), 3);
  EXPECT_EQ(kernel::ByteSetLength(rt::ByteSet()), 0);
  EXPECT_EQ(kernel::LeftBytes(abc, 2).view(), "ab");
  EXPECT_EQ(kernel::LeftBytes(abc, 9).view(), "abc");
  EXPECT_EQ(kernel::LeftBytes(abc, -1).get(), nullptr);
  // MidBytes clips the start to 1 where MidText gives empty.
  EXPECT_EQ(kernel::MidBytes(abc, 0, 2).view(), "ab");
  EXPECT_EQ(kernel::MidBytes(abc, -5, 1).view(), "a");
  EXPECT_EQ(kernel::MidBytes(abc, 2, 10).view(), "bc");
  EXPECT_EQ(kernel::MidBytes(abc, 4, 1).get(), nullptr);
  EXPECT_EQ(kernel::MidBytes(abc, 2, -1).get(), nullptr);
  EXPECT_EQ(kernel::MidBytes(rt::ByteSet(), 1, 1).get(), nullptr);
  // Zero bytes are ordinary bytes.
  rt::ByteSet z(std::string_view("a\0b", 3));
  EXPECT_EQ(kernel::MidBytes(z, 2, 2).view(), std::string_view("\0b", 2));
}

TEST(ReplaceBytesTest, ExactByteWiseReplacement) {
  EXPECT_EQ(kernel::ReplaceBytes(B("aXbXc"), B("X"), B("--")).view(), "a--b--c");
  EXPECT_EQ(kernel::ReplaceBytes(B("aXbXc"), B("X")).view(), "abc");
  EXPECT_EQ(kernel::ReplaceBytes(B("aaaa"), B("aa"), B("a")).view(), "aa");
  EXPECT_EQ(kernel::ReplaceBytes(B("aaa"), B("a"), B("b"), 2).view(), "abb");
  EXPECT_EQ(kernel::ReplaceBytes(B("aaa"), B("a"), B("b"), 0, 2).view(), "bba");
  EXPECT_EQ(kernel::ReplaceBytes(B("aaa"), B("a"), B("b"), 1, 0).view(), "aaa");
  EXPECT_EQ(kernel::ReplaceBytes(B("aaa"), B("a"), B("b"), 1, -1).view(), "aaa");  // negative: none
  EXPECT_EQ(kernel::ReplaceBytes(B("aaa"), B("a"), B("b"), 4).view(), "aaa");
  EXPECT_EQ(kernel::ReplaceBytes(B("aAa"), B("a"), B("b")).view(), "bAb");  // exact case
  EXPECT_EQ(kernel::ReplaceBytes(B("abc"), B("")).view(), "abc");
  EXPECT_EQ(kernel::ReplaceBytes(B("ab"), B("ab")).get(), nullptr);
  // Partial first-byte matches and zero bytes.
  EXPECT_EQ(kernel::ReplaceBytes(B("aab"), B("ab"), B("X")).view(), "aX");
  EXPECT_EQ(
      kernel::ReplaceBytes(B(std::string_view("\0\0x\0", 4)), B(std::string_view("\0x", 2)), B("y")).view(),
      std::string_view("\0y\0", 3));
  EXPECT_EQ(kernel::ReplaceBytes(B("xa"), B("ab"), B("Z")).view(), "xa");
}

TEST(ZeroBytesTest, SizesAndEmptyResults) {
  rt::ByteSet z = kernel::ZeroBytes(5);
  EXPECT_EQ(z.view(), std::string_view("\0\0\0\0\0", 5));
  EXPECT_EQ(kernel::ZeroBytes(0).get(), nullptr);
  EXPECT_EQ(kernel::ZeroBytes(-3).get(), nullptr);
}

TEST(ZeroBytesDeathTest, ExhaustedHeapIsReported) {
  EXPECT_RUNTIME_ERROR_CONTAINING(
      {
        rt::SetAllocationLimitForTesting(1 << 20);
        kernel::ZeroBytes(2147483647);
      },
      "2147483655");
}

}  // namespace
