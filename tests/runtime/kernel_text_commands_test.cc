// The kernel's text commands through the typed wrappers (and so through the helper interface).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/kernel.h"
#include "tests/support/expect_runtime_error.h"

namespace {

using kernel::FindText;

std::vector<std::string> Members(const rt::TextArray& a) {
  std::vector<std::string> out;
  for (int64_t i = 1; i <= a.size(); ++i) out.emplace_back(a.at(i));
  return out;
}

TEST(TextClippingTest, LeftRightMidCountPlainBytes) {
  EXPECT_EQ(kernel::LeftText("abc", 2), "ab");
  EXPECT_EQ(kernel::LeftText("abc", 10), "abc");
  EXPECT_EQ(kernel::LeftText("abc", 0).get(), nullptr);  // empty results are null
  EXPECT_EQ(kernel::LeftText("abc", -3).get(), nullptr);
  EXPECT_EQ(kernel::RightText("abc", 2), "bc");
  EXPECT_EQ(kernel::RightText("abc", 99), "abc");
  EXPECT_EQ(kernel::RightText("abc", 0).get(), nullptr);
  EXPECT_EQ(kernel::MidText("abc", 0, 2).get(), nullptr);
  EXPECT_EQ(kernel::MidText("abc", 4, 1).get(), nullptr);
  EXPECT_EQ(kernel::MidText("abc", 2, 10), "bc");
  EXPECT_EQ(kernel::MidText("abc", 2, 0).get(), nullptr);
  EXPECT_EQ(kernel::MidText("abc", 2147483647, 2147483647).get(), nullptr);
  // A double-byte character occupies two positions and may be cut.
  EXPECT_EQ(kernel::LeftText("中a", 1), "\xD6");
  EXPECT_EQ(kernel::TextLength("中a"), 3);
  EXPECT_EQ(kernel::TextLength(""), 0);
  EXPECT_EQ(kernel::TextLength(static_cast<const char*>(nullptr)), 0);
}

TEST(TextCharTest, CharCodeAndCharFromCode) {
  EXPECT_EQ(kernel::CharCode("\xB0"), -80);
  EXPECT_EQ(kernel::CharCode("abc", 2), 'b');
  EXPECT_EQ(kernel::CharCode("abc", 0), 0);
  EXPECT_EQ(kernel::CharCode("abc", 4), 0);
  EXPECT_EQ(kernel::CharFromCode('A'), "A");
  EXPECT_EQ(kernel::CharFromCode(0).get(), nullptr);
  EXPECT_EQ(kernel::CharFromCode(0xB0), "\xB0");
}

TEST(FindTextTest, StartAndEmptySoughtRules) {
  EXPECT_EQ(FindText("abcabc", "bc"), 2);
  EXPECT_EQ(FindText("abcabc", "bc", 3), 5);
  EXPECT_EQ(FindText("abcabc", "bc", -7), 2);
  EXPECT_EQ(FindText("abcabc", "bc", 7), -1);
  EXPECT_EQ(FindText("abc", ""), 1);
  EXPECT_EQ(FindText("", ""), -1);
  EXPECT_EQ(FindText("abc", "", 4), -1);
  EXPECT_EQ(FindText("abc", "abcd"), -1);
  EXPECT_EQ(FindText("", "a"), -1);
}

TEST(FindTextTest, NeverMatchesTheSecondByteOfACharacter) {
  // 0xB0 0x41 is one character; the "A" in it is not a match, the later one is.
  EXPECT_EQ(FindText("\xB0"
                     "AA",
                     "A"),
            3);
  EXPECT_EQ(FindText("\xB0"
                     "A",
                     "A"),
            -1);
  // A run of lead bytes pairs up from its start: "\xB0|" is the second character here ...
  EXPECT_EQ(FindText("\xB0\xB0\xB0|", "\xB0|"), 3);
  // ... and straddles two characters here.
  EXPECT_EQ(FindText("\xB0\xB0\xB0\xB0|", "\xB0|"), -1);
  EXPECT_EQ(FindText("\xB0\xB0"
                     "a\xB0|",
                     "\xB0|"),
            4);
  // "|" is the second byte of 0x81 0x7C.
  EXPECT_EQ(FindText("\x81|x|", "|"), 4);
  // A start inside a character walks from there.
  EXPECT_EQ(FindText("\xB0"
                     "AA",
                     "A", 2),
            2);
  // Matches after many skipped candidates in a long text.
  std::string t;
  for (int i = 0; i < 1000; ++i) t += "\x81|";
  t += "x|";
  EXPECT_EQ(FindText(t, "|"), 2002);
  EXPECT_EQ(FindText("中文中文", "文"), 3);
}

TEST(FindTextTest, NeverReadsPastTheZero) {
  // The lead byte before the zero ends the walk: it is never a match start, and its "pair"
  // (the zero) is never compared.
  EXPECT_EQ(FindText("a\xB0", "\xB0"), -1);
  EXPECT_EQ(FindText("a\xB0", "\xB0", std::nullopt, true), -1);
  EXPECT_EQ(FindText("a\xB0", "a\xB0"), 1);  // a whole match still counts
  // A heap text exactly as long as its block: ASan would catch a read past the zero.
  rt::Text t("xyz\xB0");
  EXPECT_EQ(FindText(t, "z\xB0", std::nullopt, true), 3);
  EXPECT_EQ(FindText(t, "Z\xB0", std::nullopt, true), 3);
}

TEST(FindTextTest, IgnoreCaseFoldsOnlySingleByteLetters) {
  EXPECT_EQ(FindText("aXb", "x", std::nullopt, true), 2);
  EXPECT_EQ(FindText("axb", "X", std::nullopt, true), 2);
  EXPECT_EQ(FindText("axb", "X"), -1);
  EXPECT_EQ(FindText("axb", "X", std::nullopt, false), -1);
  // 0xB0 0x41 and 0xB0 0x61 are different characters: never equal, whatever the flag.
  EXPECT_EQ(FindText("\xB0"
                     "a",
                     "\xB0"
                     "A",
                     std::nullopt, true),
            -1);
  EXPECT_EQ(FindText("\xB0"
                     "A",
                     "\xB0"
                     "A",
                     std::nullopt, true),
            1);
  EXPECT_EQ(FindText("Q\xB0"
                     "aQ",
                     "q", 2, true),
            4);
}

TEST(CaseTest, ToUpperToLowerLeaveDoubleByteCharactersAlone) {
  EXPECT_EQ(kernel::ToUpper("ab\xB0"
                            "a-z"),
            "AB\xB0"
            "a-Z");
  EXPECT_EQ(kernel::ToLower("AB\xB0"
                            "A-Z"),
            "ab\xB0"
            "A-z");
  EXPECT_EQ(kernel::ToUpper("a\xB0"), "A\xB0");  // the lone lead byte is kept
  EXPECT_EQ(kernel::ToLower("").get(), nullptr);
}

TEST(SpacesTest, TrimAndRemoveSpaces) {
  EXPECT_EQ(kernel::TrimSpaces("\xA1\xA1  a b\t \xA1\xA1"), "a b\t");
  EXPECT_EQ(kernel::TrimSpaces("\ta "), "\ta");
  EXPECT_EQ(kernel::TrimSpaces("  \xA1\xA1 ").get(), nullptr);
  EXPECT_EQ(kernel::TrimSpaces("a\xB0"), "a");  // the lone lead byte is dropped
  EXPECT_EQ(kernel::TrimSpaces("a \xB0"), "a");
  // 0xB0 0xA1 is a character; the 0xA1 0xA1 after it is a full-width space.
  EXPECT_EQ(kernel::TrimSpaces("\xB0\xA1\xA1\xA1"), "\xB0\xA1");
  EXPECT_EQ(kernel::TrimSpaces("\xA1\xA1\xA1\xA1\xA1").get(), nullptr);
  EXPECT_EQ(kernel::RemoveSpaces(" a \xA1\xA1"
                                 "b\tc "),
            "ab\tc");
  EXPECT_EQ(kernel::RemoveSpaces("\xB0\xA1\xA1\xA1 x"), "\xB0\xA1x");
  EXPECT_EQ(kernel::RemoveSpaces("a \xB0"), "a");
  EXPECT_EQ(kernel::RemoveSpaces("   ").get(), nullptr);
}

TEST(ReplaceTextTest, CountStartAndCaseRules) {
  EXPECT_EQ(kernel::ReplaceText("aaa", "a", "b", 1, 2, true), "bba");
  EXPECT_EQ(kernel::ReplaceText("aaa", "a", "b", 1, 0, true), "aaa");
  EXPECT_EQ(kernel::ReplaceText("aaa", "a", "b", 1, -5, true), "bbb");
  EXPECT_EQ(kernel::ReplaceText("aaa", "a", "b", 2), "abb");
  EXPECT_EQ(kernel::ReplaceText("aaa", "a", "b", -3), "bbb");
  EXPECT_EQ(kernel::ReplaceText("aaa", "a", "b", 4), "aaa");
  EXPECT_EQ(kernel::ReplaceText("Aa", "a", "b"), "bb");  // omitted flag: case folded
  EXPECT_EQ(kernel::ReplaceText("Aa", "a", "b", std::nullopt, std::nullopt, false), "bb");
  EXPECT_EQ(kernel::ReplaceText("Aa", "a", "b", std::nullopt, std::nullopt, true), "Ab");
  EXPECT_EQ(kernel::ReplaceText("abab", "ab").get(), nullptr);  // omitted replacement: removed
  EXPECT_EQ(kernel::ReplaceText("aaaa", "aa", "a"), "aa");      // never re-searched
  EXPECT_EQ(kernel::ReplaceText("a#引号b", "#引号", "\""), "a\"b");
}

TEST(ReplaceTextTest, RespectsCharacterBoundaries) {
  // "|" inside 0x81 0x7C stays; the free one is replaced.
  EXPECT_EQ(kernel::ReplaceText("\x81|a|", "|", "-", std::nullopt, std::nullopt, true), "\x81|a-");
  EXPECT_EQ(kernel::ReplaceText("\xB0"
                                "a"
                                "a",
                                "A", "x"),
            "\xB0"
            "ax");
  EXPECT_EQ(kernel::ReplaceText("x\xB0", "x", "y"), "y");  // the lone lead byte is left out
  EXPECT_EQ(kernel::ReplaceText("xyz\xB0", "yz", "Y"), "xY");
  EXPECT_EQ(kernel::ReplaceText("中文", "文", "字"), "中字");
}

TEST(SplitTextTest, Members) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Members(kernel::SplitText("a,,b")), (V{"a", "", "b"}));
  EXPECT_EQ(Members(kernel::SplitText("a,")), (V{"a"}));
  EXPECT_EQ(Members(kernel::SplitText(",a")), (V{"", "a"}));
  EXPECT_EQ(Members(kernel::SplitText("a,b,c", ",", 2)), (V{"a", "b"}));
  EXPECT_EQ(Members(kernel::SplitText("a,b,c", ",", -1)), V{});
  EXPECT_EQ(Members(kernel::SplitText("")), V{});
  EXPECT_EQ(Members(kernel::SplitText("a,b", "")), (V{"a,b"}));
  EXPECT_EQ(Members(kernel::SplitText("a::b::", "::")), (V{"a", "b"}));
  EXPECT_EQ(Members(kernel::SplitText("a|\x81|b", "|")), (V{"a", "\x81|b"}));
  EXPECT_EQ(Members(kernel::SplitText("a,\xB0")), (V{"a", "\xB0"}));  // the lone lead byte is kept
  // Empty members are null elements of the array.
  rt::TextArray a = kernel::SplitText(",x");
  char* first;
  std::memcpy(&first, rt::ArrayElements(a.block()), sizeof first);
  EXPECT_EQ(first, nullptr);
}

TEST(SpaceRepeatTest, SizesAndEmptyResults) {
  EXPECT_EQ(kernel::SpaceText(3), "   ");
  EXPECT_EQ(kernel::SpaceText(0).get(), nullptr);
  EXPECT_EQ(kernel::SpaceText(-2).get(), nullptr);
  EXPECT_EQ(kernel::RepeatText(3, "ab"), "ababab");
  EXPECT_EQ(kernel::RepeatText(-1, "ab").get(), nullptr);
  EXPECT_EQ(kernel::RepeatText(5, "").get(), nullptr);
}

TEST(SpaceRepeatDeathTest, ImpossibleSizesReportHeapExhaustion) {
  // 2^31 - 1 copies of four bytes: computed in 64 bits, never wrapped to a small block.
  EXPECT_RUNTIME_ERROR_CONTAINING(kernel::RepeatText(2147483647, "abcd"), "8589934716");
  EXPECT_RUNTIME_ERROR_CONTAINING(
      {
        rt::SetAllocationLimitForTesting(1 << 20);
        kernel::SpaceText(2147483647);
      },
      "2147483775");
}

}  // namespace
