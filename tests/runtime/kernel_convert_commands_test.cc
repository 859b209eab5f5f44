// The kernel's conversion commands: number and date forms, full-width folding, value bytes.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "runtime/kernel.h"
#include "tests/support/german_locale.h"

namespace rt {
// Readable failure messages for text results.
inline void PrintTo(const Text& t, std::ostream* os) { *os << '"' << t.view() << '"'; }
}  // namespace rt

namespace {

using kernel::ToText;

rt::ArgRecord Record(rt::TypeCode type, const void* value, size_t n) {
  rt::ArgRecord r = rt::ArgRecord::Omitted();
  std::memcpy(r.value, value, n);
  r.setType(type);
  return r;
}

TEST(ToTextTest, DoublesAsPercentPoint13gWithThreeDigitExponents) {
  EXPECT_EQ(ToText(3.0), "3");
  EXPECT_EQ(ToText(1e20), "1e+020");
  EXPECT_EQ(ToText(1e-5), "1e-005");
  EXPECT_EQ(ToText(1e100), "1e+100");
  EXPECT_EQ(ToText(-1.5e-300), "-1.5e-300");
  EXPECT_EQ(ToText(0.1), "0.1");
  EXPECT_EQ(ToText(0.0001), "0.0001");
  EXPECT_EQ(ToText(1234567890123.0), "1234567890123");
  EXPECT_EQ(ToText(12345678901234.0), "1.234567890123e+013");
  EXPECT_EQ(ToText(2.0 / 3.0), "0.6666666666667");
  EXPECT_EQ(ToText(-0.5), "-0.5");
  EXPECT_EQ(ToText(0.0), "0");
}

TEST(ToTextTest, FloatsRoundToSixDigitsFirst) {
  EXPECT_EQ(ToText(0.1f), "0.1");
  EXPECT_EQ(ToText(3.14159274f), "3.14159");
  EXPECT_EQ(ToText(1234567.0f), "1.23457e+006");
  EXPECT_EQ(ToText(2.5f), "2.5");
  EXPECT_EQ(ToText(-0.000123456f), "-0.000123456");
  // 2^-10 = 0.0009765625 is a tie at 6 digits: the first step rounds it away from zero, where
  // the C library alone would round it to even (0.000976562).
  EXPECT_EQ(ToText(0.0009765625f), "0.000976563");
}

TEST(ToTextTest, IndependentOfTheProcessLocale) {
  testing_support::GermanLocale locale;
  const bool german = locale.active();
  if (german) {
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 2.5);
    EXPECT_STREQ(probe, "2,5");  // the C library itself now writes a comma
    EXPECT_EQ(ToText(2.5), "2.5");
    EXPECT_EQ(ToText(2.5f), "2.5");
    EXPECT_EQ(ToText(1.5e-7), "1.5e-007");
  }
  if (!german) GTEST_SKIP() << "no German locale available";
}

TEST(ToTextTest, IntegersBoolsAndTexts) {
  EXPECT_EQ(ToText(static_cast<uint8_t>(200)), "200");
  EXPECT_EQ(ToText(static_cast<int16_t>(-300)), "-300");
  EXPECT_EQ(ToText(-2147483647 - 1), "-2147483648");
  EXPECT_EQ(ToText(static_cast<int64_t>(-9223372036854775807LL - 1)), "-9223372036854775808");
  EXPECT_EQ(ToText(true), "真");
  EXPECT_EQ(ToText(false), "假");
  EXPECT_EQ(ToText("中文"), "中文");
  EXPECT_EQ(ToText("").get(), nullptr);
  rt::ArgRecord object = rt::ArgRecord::Omitted();
  object.setPtr(&object, rt::kTypeRapidString);
  EXPECT_EQ(ToText(object).get(), nullptr);
}

TEST(ToTextTest, DateTimesInChineseWords) {
  EXPECT_EQ(ToText(kernel::DateTime{0}), "1899年12月30日");
  EXPECT_EQ(ToText(kernel::DateTime{45000}), "2023年3月15日");
  EXPECT_EQ(ToText(kernel::DateTime{45000.5}), "2023年3月15日12时");
  EXPECT_EQ(ToText(kernel::DateTime{1.75 + 60.0 / 86400}), "1899年12月31日18时1分");
  EXPECT_EQ(ToText(kernel::DateTime{1.75 + 61.0 / 86400}), "1899年12月31日18时1分1秒");
  EXPECT_EQ(ToText(kernel::DateTime{-1.25}), "1899年12月29日6时");
  EXPECT_EQ(ToText(kernel::DateTime{1e12}), "9999年12月31日");  // clamped
  EXPECT_EQ(ToText(kernel::DateTime{-1e12}), "100年1月1日");
  EXPECT_EQ(ToText(kernel::DateTime{60.5}), "1900年2月28日12时");
  EXPECT_EQ(ToText(kernel::DateTime{61}), "1900年3月1日");
}

TEST(ToTextTest, ByteSetsAndNumericArraysUpToTheFirstZero) {
  rt::ByteSet bytes(std::string_view("ab\0c", 4));
  EXPECT_EQ(ToText(bytes), "ab");
  EXPECT_EQ(ToText(rt::ByteSet()).get(), nullptr);
  void* ints = rt::NewArrayBlock(3, 4);
  const int32_t values[3] = {0x00434241, 0x44, 0};
  std::memcpy(rt::ArrayElements(ints), values, sizeof values);
  EXPECT_EQ(kernel::ArrayToText(ints, rt::kTypeInt), "ABC");
  rt::FreeArray(ints, 4, false);
  rt::TextArray texts;
  texts.push_back("x");
  EXPECT_EQ(kernel::ArrayToText(texts.block(), rt::kTypeText).get(), nullptr);
}

TEST(ToIntegerTest, ByTypeWithTruncationAndLowBits) {
  EXPECT_EQ(kernel::ToInteger(-2.9), -2);
  EXPECT_EQ(kernel::ToInteger(2.9f), 2);
  EXPECT_EQ(kernel::ToInteger(1e18), static_cast<int32_t>(static_cast<uint32_t>(1000000000000000000ULL)));
  EXPECT_EQ(kernel::ToInteger(std::nan("")), 0);  // the lowest 64-bit value keeps 0 in its low 32 bits
  EXPECT_EQ(kernel::ToInteger(1e300), 0);
  EXPECT_EQ(kernel::ToInteger(static_cast<int64_t>(0x100000005LL)), 5);
  EXPECT_EQ(kernel::ToInteger(true), 1);
  EXPECT_EQ(kernel::ToInteger(kernel::ToText(kernel::DateTime{3}).c_str()), 1900);
  int16_t s = -7;
  EXPECT_EQ(kernel::ToInteger(Record(rt::kTypeShort, &s, 2)), -7);
  double d = 5;
  EXPECT_EQ(kernel::ToInteger(Record(rt::kTypeDateTime, &d, 8)), 0);  // other types give 0
}

TEST(ToIntegerTest, TextsFoldFullWidthFormsThenAtoi) {
  EXPECT_EQ(kernel::ToInteger("１２3"), 123);
  EXPECT_EQ(kernel::ToInteger("12abc"), 12);
  EXPECT_EQ(kernel::ToInteger("  \t-42x"), -42);
  EXPECT_EQ(kernel::ToInteger("＋５"), 5);
  EXPECT_EQ(kernel::ToInteger("－３"), -3);
  EXPECT_EQ(kernel::ToInteger("\xA1\xA1"
                              "7"),
            7);  // a full-width space is white space
  EXPECT_EQ(kernel::ToInteger("中1"), 0);
  EXPECT_EQ(kernel::ToInteger(""), 0);
  EXPECT_EQ(kernel::ToInteger("99999999999"), 2147483647);
  EXPECT_EQ(kernel::ToInteger("-99999999999"), -2147483647 - 1);
}

TEST(ToByteTest, LowestByteOfToInteger) {
  EXPECT_EQ(kernel::ToByte(300), 44);
  EXPECT_EQ(kernel::ToByte("-1"), 255);
  EXPECT_EQ(kernel::ToByte(65.9), 65);
}

TEST(ToByteSetTest, ValueBytes) {
  EXPECT_EQ(kernel::ToByteSet("ab").view(), "ab");
  EXPECT_EQ(kernel::ToByteSet("").get(), nullptr);
  EXPECT_EQ(kernel::ToByteSet(0x64636261).view(), "abcd");
  EXPECT_EQ(kernel::ToByteSet(static_cast<int64_t>(1)).size(), 8u);
  EXPECT_EQ(kernel::ToByteSet(static_cast<uint8_t>('z')).view(), "z");
  rt::ByteSet d = kernel::ToByteSet(2.5);
  double back;
  ASSERT_EQ(d.size(), 8u);
  std::memcpy(&back, d.data(), 8);
  EXPECT_EQ(back, 2.5);
  int16_t s = 0x4142;
  EXPECT_EQ(kernel::ToByteSet(Record(rt::kTypeShort, &s, 2)).view(), "BA");
  EXPECT_EQ(kernel::ToByteSet(rt::BoolArg(true)).size(), 4u);
  rt::ByteSet copy = kernel::ToByteSet(rt::BytesArg(rt::ByteSet("xy")));
  EXPECT_EQ(copy.view(), "xy");

  void* shorts = rt::NewArrayBlock(2, 2);
  const int16_t values[2] = {0x6261, 0x0063};
  std::memcpy(rt::ArrayElements(shorts), values, sizeof values);
  EXPECT_EQ(kernel::ArrayToByteSet(shorts, rt::kTypeShort).view(), std::string_view("abc\0", 4));
  rt::FreeArray(shorts, 2, false);
  rt::TextArray texts;
  texts.push_back("x");
  EXPECT_EQ(kernel::ArrayToByteSet(texts.block(), rt::kTypeText).get(), nullptr);
  rt::ArgRecord object = rt::ArgRecord::Omitted();
  object.setPtr(&object, rt::kTypeComObject);
  EXPECT_EQ(kernel::ToByteSet(object).get(), nullptr);
}

}  // namespace
