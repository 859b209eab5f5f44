// TextBefore, TextBetween and AllTextsBetween.
#include "text/text_helpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/event_loop.h"

namespace {

using text::AllTextsBetween;
using text::TextBefore;
using text::TextBetween;
using V = std::vector<std::string>;

V Members(const rt::TextArray& a) {
  V out;
  for (int64_t i = 1; i <= a.size(); ++i) out.emplace_back(a.at(i));
  return out;
}

TEST(TextBeforeTest, CutsFromTheVeryBeginning) {
  EXPECT_EQ(TextBefore("Set-Cookie: a=b", ": "), "Set-Cookie");
  EXPECT_EQ(TextBefore("Set-Cookie: a=b", "; ").get(), nullptr);
  EXPECT_EQ(TextBefore("a:b:c", ":", 3), "a:b");  // whatever the start, from the beginning
  EXPECT_EQ(TextBefore("ab:CD", "cd", std::nullopt, true), "ab:");
  EXPECT_EQ(TextBefore("ab:CD", "cd").get(), nullptr);
  EXPECT_EQ(TextBefore(":x", ":").get(), nullptr);
}

TEST(TextBetweenTest, MarkersQuotesAndMisses) {
  EXPECT_EQ(TextBetween("a \"x\" b", "#引号", "#引号"), "x");
  EXPECT_EQ(TextBetween("<title>视频</title>", "<title>", "</title>"), "视频");
  EXPECT_EQ(TextBetween("id=\"7\" id=\"8\"", "id=#引号", "#引号", 3), "8");
  EXPECT_EQ(TextBetween("abc", "x", "c").get(), nullptr);
  EXPECT_EQ(TextBetween("c a b", "a", "c").get(), nullptr);  // the right marker must follow
  EXPECT_EQ(TextBetween("[]", "[", "]").get(), nullptr);     // adjacent markers
  EXPECT_EQ(TextBetween("ab]", "", "]"), "ab");              // empty left marker: from the start
  EXPECT_EQ(TextBetween("[ab]", "[", "").get(), nullptr);    // empty right marker: empty piece
  EXPECT_EQ(TextBetween("[AB]", "[a", "]", std::nullopt, true), "B");
  // "]" as the second byte of 0x81 0x5D is not a marker.
  EXPECT_EQ(TextBetween("[\x81]x]", "[", "]"), "\x81]x");
}

TEST(AllTextsBetweenTest, PiecesInOrderWithDuplicates) {
  rt::TextArray out;
  out.push_back("old");
  const char* page = "<i data-lens-id=\"11\"> <i data-lens-id=\"22\"> <i data-lens-id=\"11\">";
  EXPECT_EQ(AllTextsBetween(page, "data-lens-id=\"", "\"", &out), 3);
  EXPECT_EQ(Members(out), (V{"11", "22", "11"}));
  EXPECT_EQ(AllTextsBetween("", "[", "]", &out), 0);
  EXPECT_EQ(out.size(), 0);
}

TEST(AllTextsBetweenTest, OverlappingMatchesStartAfterTheLeftMarker) {
  rt::TextArray out;
  EXPECT_EQ(AllTextsBetween("[a[b]]", "[", "]", &out), 2);
  EXPECT_EQ(Members(out), (V{"a[b", "b"}));
  EXPECT_EQ(AllTextsBetween("[a][b", "[", "]", &out), 1);
  EXPECT_EQ(Members(out), (V{"a"}));
}

TEST(AllTextsBetweenTest, LengthLimitPrefixSuffixAndMarkers) {
  rt::TextArray out;
  EXPECT_EQ(AllTextsBetween("[ab][abc][]", "[", "]", &out, false, 3), 2);
  EXPECT_EQ(Members(out), (V{"ab", ""}));
  EXPECT_EQ(AllTextsBetween("x[ab]y", "[", "]", &out, false, 0, "P", "S", 1, 1), 1);
  EXPECT_EQ(Members(out), (V{"[PabS]"}));
  EXPECT_EQ(AllTextsBetween("x[ab]y", "[", "]", &out, false, 0, "P", "S", 0, 1), 1);
  EXPECT_EQ(Members(out), (V{"PabS]"}));
  EXPECT_EQ(AllTextsBetween("x[ab]y", "[", "]", &out, false, 0, "", "", 2, 2), 1);  // only 1 means yes
  EXPECT_EQ(Members(out), (V{"ab"}));
  // The length limit counts the whole piece, prefix and markers included.
  EXPECT_EQ(AllTextsBetween("[ab]", "[", "]", &out, false, 5, "", "", 1, 1), 1);
  EXPECT_EQ(AllTextsBetween("[abc]", "[", "]", &out, false, 5, "", "", 1, 1), 0);
}

TEST(AllTextsBetweenTest, StartAndCase) {
  rt::TextArray out;
  EXPECT_EQ(AllTextsBetween("[a] [b] [c]", "[", "]", &out, false, 0, "", "", 0, 0, 4), 2);
  EXPECT_EQ(Members(out), (V{"b", "c"}));
  EXPECT_EQ(AllTextsBetween("<A>1</a><a>2</A>", "<a>", "</a>", &out, true), 2);
  EXPECT_EQ(Members(out), (V{"1", "2"}));
  EXPECT_EQ(AllTextsBetween("<A>1</a><a>2</A>", "<a>", "</a>", &out), 0);
  EXPECT_EQ(AllTextsBetween("[a]", "[", "]", &out, false, 0, "", "", 0, 0, 99), 0);
}

TEST(AllTextsBetweenTest, EmptyMarkersNeitherHangNorGoNegative) {
  rt::TextArray out;
  // An empty left marker is found at the same place every time: one piece, then stop.
  EXPECT_EQ(AllTextsBetween("ab]cd]", "", "]", &out), 1);
  EXPECT_EQ(Members(out), (V{"ab"}));
  // An empty right marker gives empty pieces, one per left marker.
  EXPECT_EQ(AllTextsBetween("[a[b", "[", "", &out, false, 0, "<", ">"), 2);
  EXPECT_EQ(Members(out), (V{"<>", "<>"}));
  EXPECT_EQ(AllTextsBetween("[a[", "[", "", &out), 1);  // nothing after the last marker
}

TEST(AllTextsBetweenTest, WaitingEventsRunBetweenPieces) {
  rt::TextArray out;
  int ran = 0;
  ASSERT_TRUE(platform::PostToGuiThread([&] { ++ran; }));
  EXPECT_EQ(AllTextsBetween("[a][b]", "[", "]", &out), 2);
  EXPECT_EQ(ran, 1);
}

}  // namespace
