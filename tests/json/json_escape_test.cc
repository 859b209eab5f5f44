#include <gtest/gtest.h>

#include <string>

#include "json/json_document.h"
#include "tests/json/json_test_util.h"

namespace json {
namespace {

class JsonEscapeTest : public ::testing::Test {
 protected:
  void SetUp() override { testing_util::UseProgramDllCommands(); }
};

std::string Escape(const char* in, bool unicode = false, bool slash = false) {
  rt::Text out("stale");
  类_JSON::转义文本(in, &out, unicode, slash);
  return out.str();
}

TEST_F(JsonEscapeTest, UnescapingRules) {
  auto decode = [](const char* stored) {
    rt::Text t(stored);
    类_JSON::反转义文本(&t);
    return t.str();
  };
  EXPECT_EQ(decode(R"(a\r\n\t\b\f\/\\\"z)"), "a\r\n\t\b\f/\\\"z");
  EXPECT_EQ(decode("plain 测试"), "plain 测试");  // nothing to decode
  EXPECT_EQ(decode(R"(\q)"), "\\q");
  EXPECT_EQ(decode(R"(\u00zz)"), "\\u00zz");
  EXPECT_EQ(decode(R"(x\u12)"), "x\\u12");  // fewer than four digits before the end: kept
  EXPECT_EQ(decode(R"(end\)"), "end");      // a backslash at the very end writes nothing
  // One-byte characters write one byte: nothing after them is lost.
  EXPECT_EQ(decode(R"(?a=1\u0026b=2)"), "?a=1&b=2");
  EXPECT_EQ(decode(R"(\u6D4B\u8bd5!)"), "测试!");
  EXPECT_EQ(decode(R"(\u0041\u0E01\u20AC)"), "A?\x80");  // Thai is not in the code page
  EXPECT_EQ(decode(R"(a\u0000b)"), "a");                 // the result ends at the first zero byte
  // A surrogate pair is one character: one "?" for one the code page lacks, never two. Half a
  // pair is a character of its own.
  EXPECT_EQ(decode(R"(<\uD83D\uDE00>)"), "<?>");
  EXPECT_EQ(decode(R"(\ud840\udc00\u4E2D)"), "?中");
  EXPECT_EQ(decode(R"(\uD83Dx\uDE00)"), "?x?");
  EXPECT_EQ(decode(R"(\uD83D\u4E2D)"), "?中");
  EXPECT_EQ(decode(R"(\uD83D\uDE0)"), "?\\uDE0");
}

TEST_F(JsonEscapeTest, EscapingRules) {
  EXPECT_EQ(Escape("a\"b\\c\td"), "a\\\"b\\\\c\\td");
  EXPECT_EQ(Escape("\r\n\b\f\x01"), "\\r\\n\\b\\f\x01");  // other control characters are copied
  EXPECT_EQ(Escape("a/b"), "a/b");
  EXPECT_EQ(Escape("a/b", false, true), "a\\/b");
  EXPECT_EQ(Escape("测试"), "测试");  // without Unicode escapes the bytes are copied
  EXPECT_EQ(Escape("测a试", true), "\\u6D4Ba\\u8BD5");
  // A lead byte pairs with its trail byte, an ASCII one included (trail bytes start at 0x40).
  EXPECT_EQ(Escape("\x81\x40x", true), "\\u4E02x");
  EXPECT_EQ(Escape("ab\x81", true), "ab");  // a lead byte at the end is dropped
  rt::Text out("stale");
  类_JSON::转义文本("", &out, true, true);
  EXPECT_EQ(out.get(), nullptr);  // an empty result is null
  // What 转义文本 writes, 反转义文本 reads back.
  rt::Text back;
  类_JSON::转义文本("x\"y\\z/测\t", &back, true, true);
  类_JSON::反转义文本(&back);
  EXPECT_EQ(back, "x\"y\\z/测\t");
}

// With Unicode escapes a character is one byte or a lead byte and a trail byte: 0x80 (the euro
// sign) and 0xFF are single bytes, and a byte that cannot be a trail byte is never taken as one.
TEST_F(JsonEscapeTest, UnicodeEscapesFollowTheCodePagesCharacterBoundaries) {
  EXPECT_EQ(Escape("\x80xy", true), "\\u20ACxy");
  EXPECT_EQ(Escape("x\x80y", true), "x\\u20ACy");
  EXPECT_EQ(Escape("ab\x80", true), "ab\\u20AC");              // not dropped at the end
  EXPECT_EQ(Escape("\x80\"/", true, true), "\\u20AC\\\"\\/");  // the ASCII byte keeps its rule
  EXPECT_EQ(Escape("\x80中\x80\x80", true), "\\u20AC\\u4E2D\\u20AC\\u20AC");
  EXPECT_EQ(Escape("\x80\x80", false), "\x80\x80");  // without Unicode escapes: copied
  EXPECT_EQ(Escape("x\x80\"", false), "x\x80\\\"");
  // Trail bytes run from 0x40 to 0xFE without 0x7F; 0x5C and 0x80 are trail bytes.
  EXPECT_EQ(Escape("\x81\x80\xD5\x5C\xFE\x40", true), "\\u4E90\\u8AA0\\uFA0C");
  // A lead byte without a trail byte is dropped; the byte after it keeps its own rule.
  EXPECT_EQ(Escape("\xD6\"x", true), "\\\"x");
  EXPECT_EQ(Escape("a\xD6\n\xD6\x7F", true), "a\\n\x7F");
  EXPECT_EQ(Escape("\xD6\x3F\xD6\xD0", true), "?\\u4E2D");
  // 0xFF starts no character: one byte, written as the conversion gives it.
  EXPECT_EQ(Escape("\xFFz", true), "\\uFFFDz");
  EXPECT_EQ(Escape("\xD6\xFF\xFF", true), "\\uFFFD\\uFFFD");
  // The euro sign reads back as the one byte it was.
  rt::Text back;
  类_JSON::转义文本("\x80中\x80", &back, true, false);
  类_JSON::反转义文本(&back);
  EXPECT_EQ(back, "\x80中\x80");
}

}  // namespace
}  // namespace json
