#include "net/cookies.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>

#include "net/text_pieces.h"
#include "text/text_helpers.h"

namespace net {
namespace {

std::string Merged(const char* oldText, const char* newText, std::string* oldAfter = nullptr) {
  rt::Text o(oldText), n(newText);
  rt::Text result = MergeCookies(o, n);
  EXPECT_EQ(o.str(), result.str());  // the caller's text holds the merge too
  if (oldAfter) *oldAfter = o.str();
  return result.str();
}

TEST(CookiesTest, ExtractSetCookies) {
  EXPECT_EQ(ExtractSetCookies("Content-Type: x\r\nSet-Cookie: a=1; Path=/\r\nSet-Cookie: b=2\r\n\r\n").str(),
            "a=1; b=2");
  EXPECT_EQ(ExtractSetCookies("Content-Type: x\r\n\r\n").str(), "");
  EXPECT_EQ(ExtractSetCookies("set-cookie: a=1\r\n").str(), "");         // other case: not recognised
  EXPECT_EQ(ExtractSetCookies("Set-Cookie:   c=3  \r\n").str(), "c=3");  // no ";": the line minus its name
  EXPECT_EQ(ExtractSetCookies("Set-Cookie: \xA1\xA1s=v\xA1\xA1; HttpOnly").str(), "s=v");
  EXPECT_EQ(ExtractSetCookies("").str(), "");

  // A server's block of many lines without ": " and one cookie at its very end: each line's
  // marker is looked for within the line.
  std::string block;
  for (int i = 0; i < 5000; ++i) block += "X-Filler:no-blank\r\n";
  block += "Set-Cookie: last=1; Path=/\r\n";
  EXPECT_EQ(ExtractSetCookies(block.c_str()).str(), "last=1");
}

TEST(CookiesTest, MergeExamples) {
  EXPECT_EQ(Merged("a=0; c=3", "a=1; b=2"), "a=1; b=2; c=3");
  EXPECT_EQ(Merged("a=0", "a=deleted"), "");
  EXPECT_EQ(Merged("sid=x y", ""), "sid=xy");
  EXPECT_EQ(Merged("a=1; a=2", ""), "a=1");
  EXPECT_EQ(Merged("", "a=1; a=2"), "a=1; a=2");
  EXPECT_EQ(Merged("c=3; a=0; c=4", "b=2; a=1; b=2; b=5"), "b=2; a=1; b=5; c=3");
  EXPECT_EQ(Merged("", ""), "");
  // The new text loses its blanks in the caller's variable too.
  rt::Text o("x=1"), n("y = 2");
  MergeCookies(o, n);
  EXPECT_EQ(n.str(), "y=2");
}

TEST(CookiesTest, NamesAndDuplicates) {
  EXPECT_EQ(CookieName(" a =1=2").str(), "a");
  EXPECT_EQ(CookieName(" flag ").str(), "flag");
  rt::TextArray list;
  list.push_back("A=1");
  list.push_back("b");
  EXPECT_TRUE(HasCookieName(list, "b"));
  EXPECT_FALSE(HasCookieName(list, "a"));  // names compare exactly
  EXPECT_EQ(RemoveDuplicateEntries("a; b; a; c; b", "; ").str(), "a; b; c");
  EXPECT_EQ(RemoveDuplicateEntries("; x; ", "; ").str(), "; x");
  EXPECT_EQ(RemoveDuplicateEntries("", "; ").str(), "");
}

// The extraction read in place against the kernel and text-helper commands composed as the
// rules read, on generated header blocks.
TEST(CookiesTest, ExtractionAgreesWithTheComposedCommandsOnGeneratedBlocks) {
  static const char* const kPieces[] = {"Set-Cookie", "set-cookie", ": ",         ":",      " ",
                                        "\xA1\xA1",   "a=1",        ";",          "Path=/", "\r\n",
                                        "\xD6\xD0",   "b",          "Set-Cookie:"};
  std::mt19937 random(7);
  for (int round = 0; round < 4000; ++round) {
    std::string block;
    int n = std::uniform_int_distribution<int>(0, 16)(random);
    for (int i = 0; i < n; ++i) block += kPieces[random() % std::size(kPieces)];
    SCOPED_TRACE(testing::PrintToString(block));
    std::string composed;
    rt::TextArray lines = kernel::SplitText(block, "\r\n");
    for (int64_t i = 1; i <= lines.size(); ++i) {
      const char* line = lines.at(i);
      if (text::TextBefore(line, ": ") != "Set-Cookie") continue;
      rt::Text entry = kernel::FindText(line, ";") != -1
                           ? kernel::TrimSpaces(text::TextBetween(line, "Set-Cookie:", ";"))
                           : kernel::TrimSpaces(kernel::ReplaceText(line, "Set-Cookie:", std::nullopt,
                                                                    std::nullopt, std::nullopt, false));
      composed = Concat({composed, entry, "; "}).str();
    }
    ASSERT_EQ(ExtractSetCookies(block).view(),
              kernel::LeftText(composed.c_str(), kernel::TextLength(composed.c_str()) - 2).view());
  }
}

}  // namespace
}  // namespace net
