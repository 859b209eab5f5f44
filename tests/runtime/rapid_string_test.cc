#include "runtime/rapid_string.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/libraries.h"
#include "tests/support/german_locale.h"

namespace rt {
namespace {

using testing_support::GermanLocale;

ArgRecord ArrayArg(void* block, TypeCode element) {
  ArgRecord r;
  r.setPtr(block, element | kArrayBit);
  return r;
}

TEST(RapidStringTest, AppendsTheTextFormOfEachKind) {
  RapidString s;
  EXPECT_TRUE(s.Append({IntArg(5), DoubleArg(2.5), TextArg("ab")}));
  EXPECT_EQ(s.GetText(), "52.5ab");
  s.Clear();
  EXPECT_TRUE(s.Append({BoolArg(true), BoolArg(false), ByteArg(200), LongArg(-9000000000LL)}));
  EXPECT_EQ(s.GetText(), "真假200-9000000000");
  s.Clear();
  // Platform number forms: three-digit exponents, 13 (6) significant digits.
  EXPECT_TRUE(s.Append({DoubleArg(1e20), TextArg(" "), DoubleArg(1e-5), TextArg(" "), DoubleArg(1.0 / 3),
                        TextArg(" "), FloatArg(0.1f), TextArg(" "), DoubleArg(1e100)}));
  EXPECT_EQ(s.GetText(), "1e+020 1e-005 0.3333333333333 0.1 1e+100");
  s.Clear();
  ArgRecord date;
  date.setF64(45000.75, kTypeDateTime);  // 2023-03-15 18:00
  EXPECT_TRUE(s.Append({date}));
  EXPECT_EQ(s.GetText(), "2023年3月15日18时");
}

TEST(RapidStringTest, NumbersIgnoreTheProcessLocale) {
  RapidString s;
  {
    GermanLocale german;
    if (!german.active()) GTEST_SKIP() << "no German locale available";
    s.Append({DoubleArg(2.5), TextArg(" "), FloatArg(0.5f)});
  }
  EXPECT_EQ(s.GetText(), "2.5 0.5");
}

TEST(RapidStringTest, FailingPartsDoNotStopTheOthers) {
  RapidString s;
  unsigned char emptySet[8] = {1, 0, 0, 0, 0, 0, 0, 0};  // a byte set of length 0: failure
  ArgRecord empty;
  empty.setPtr(emptySet, kTypeBytes);
  ArgRecord unknown;
  unknown.setI32(1, 0x40000001);
  EXPECT_FALSE(s.Append({TextArg("a"), empty, TextArg("b"), unknown, TextArg("c")}));
  EXPECT_EQ(s.GetText(), "abc");
  // The shared empty byte set (an empty variable) and a null byte set count as success.
  EXPECT_TRUE(s.Append({BytesArg(nullptr), TextArg("")}));
  ArgRecord nullSet;
  nullSet.setPtr(nullptr, kTypeBytes);
  EXPECT_TRUE(s.Append({nullSet}));
}

TEST(RapidStringTest, ArraysContributeEachElement) {
  RapidString s;
  TextArray texts;
  texts.push_back("x");
  texts.push_back("");  // a null element appends nothing and succeeds
  texts.push_back("y");
  void* ints = NewArrayBlock(3, 4);
  int32_t values[3] = {1, -2, 3};
  std::memcpy(ArrayElements(ints), values, sizeof values);
  EXPECT_TRUE(s.Append({ArrayArg(texts.block(), kTypeText), ArrayArg(ints, kTypeInt)}));
  EXPECT_EQ(s.GetText(), "xy1-23");
  FreeArray(ints, 4, false);
}

TEST(RapidStringTest, GetTextPositions) {
  RapidString s;
  s.AppendText("abcdef");
  EXPECT_EQ(s.GetText(-1), "f");
  EXPECT_EQ(s.GetText(0), "abcdef");
  EXPECT_EQ(s.GetText(1, 2), "ab");
  EXPECT_EQ(s.GetText(-3, 2), "de");
  EXPECT_EQ(s.GetText(5, 100), "ef");  // clipped
  EXPECT_TRUE(s.GetText(7).empty());
  EXPECT_TRUE(s.GetText(-7).empty());
  EXPECT_TRUE(s.GetText(2, 0).empty());
  EXPECT_EQ(s.GetText(2, 0).get(), nullptr);  // an empty result is null
}

TEST(RapidStringTest, GrowthKeepsContentsWithZeroBytes) {
  RapidString s;
  const char piece[4] = {'a', '\0', 'b', 'c'};
  EXPECT_TRUE(s.AppendBytes(piece, 4));
  RapidStringObject* o = RapidStringOf(s.block());
  EXPECT_EQ(o->capacity, 10240);
  std::string big(20000, 'x');
  EXPECT_TRUE(s.AppendText(big.c_str()));  // grows: need + 1 + 10240
  o = RapidStringOf(s.block());
  EXPECT_EQ(o->length, 20004);
  EXPECT_EQ(o->capacity, 20005 + 10240);
  EXPECT_EQ(std::string(o->data, 4), std::string(piece, 4));  // copied by length
  EXPECT_EQ(s.GetText(3, 3), "bcx");
}

TEST(RapidStringTest, MissingObjectsAndCopies) {
  RapidString a;
  a.AppendText("kept");
  RapidString b(a);
  EXPECT_EQ(b.GetText(), "kept");
  b.AppendText("!");
  EXPECT_EQ(a.GetText(), "kept");  // deep copy
  // Copying a block onto itself keeps the text.
  CallLibrary(kLibraryGeneralObjects, RapidStringCopy,
              {RapidStringArg(a.block()), RapidStringArg(a.block())});
  EXPECT_EQ(a.GetText(), "kept");
  a.Release();
  EXPECT_EQ(RapidStringOf(a.block()), nullptr);
  EXPECT_FALSE(a.AppendText("x"));
  EXPECT_FALSE(a.Clear());
  EXPECT_TRUE(a.GetText().empty());
  a.Release();  // nothing happens
  RapidString c;
  c.AppendText("old");
  c = a;  // copying a missing source gives an empty object
  ASSERT_NE(RapidStringOf(c.block()), nullptr);
  EXPECT_TRUE(c.GetText().empty());
  EXPECT_TRUE(c.AppendText("new"));
  EXPECT_EQ(c.GetText(), "new");
}

TEST(RapidStringTest, GrowthBeyondTheLargestSizeFails) {
  RapidString s;
  s.AppendText("abc");
  RapidStringObject* o = RapidStringOf(s.block());
  o->largestSize = 16000;  // a small ceiling stands in for the 2 GiB one
  std::string over(20000, 'y');
  EXPECT_FALSE(s.AppendText(over.c_str()));
  EXPECT_EQ(s.GetText(), "abc");  // unchanged
  o->length = 0x7FFFFFF0;         // a length near the 32-bit limit: the need is computed in 64 bits
  o->largestSize = 0x7FFFFFFE;
  std::string big(100, 'x');
  EXPECT_FALSE(s.AppendText(big.c_str()));
  o->length = 3;
}

TEST(RapidStringTest, RegisteredInTheGeneralObjectsLibrary) {
  const SupportLibrary& lib = GeneralObjectsLibrary();
  ASSERT_EQ(lib.commandCount, 6);
  EXPECT_EQ(lib.commands[kRapidStringCreate], &RapidStringCreate);
  EXPECT_EQ(lib.commands[kRapidStringAppend], &RapidStringAppend);
  EXPECT_EQ(lib.commands[kRapidStringGetText], &RapidStringGetText);
}

}  // namespace
}  // namespace rt
