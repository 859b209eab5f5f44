#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(CodePageTest, GbkAndUtf8RoundTrip) {
  const std::string gbk = "中文abc";  // code page 936 bytes in this source's narrow literals
  ASSERT_EQ(gbk.size(), 7u);
  std::u16string u = ToUtf16(kCodePageGbk, gbk);
  EXPECT_EQ(u, u"中文abc");
  EXPECT_EQ(FromUtf16(kCodePageGbk, u), gbk);
  EXPECT_EQ(GbkToUtf8(gbk),
            "\xE4\xB8\xAD\xE6\x96\x87"
            "abc");
  EXPECT_EQ(Utf8ToGbk("\xE4\xB8\xAD\xE6\x96\x87"), "中文");
  EXPECT_EQ(ToUtf16(kCodePageGbk, "\x80"), u"\u20AC");  // 0x80 is the euro sign
}

TEST(CodePageTest, SubstitutesWhatCannotBeConverted) {
  EXPECT_EQ(ToUtf16(kCodePageUtf8,
                    "a\xFF"
                    "b"),
            u"a\uFFFDb");
  // 0xFF starts no character of code page 936 (Windows' own table maps it to a private-use
  // character): both platforms give U+FFFD, as for a pair that does not exist.
  EXPECT_EQ(ToUtf16(kCodePageGbk,
                    "a\xFF"
                    "b\xFF\xFF"),
            u"a\uFFFDb\uFFFD\uFFFD");
  EXPECT_EQ(ToUtf16(kCodePageGbk, "\xD6\xD0\xFF\xD6\xD0"), u"中\uFFFD中");
  EXPECT_EQ(FromUtf16(kCodePageGbk, u"a\u0E01b"), "a?b");  // Thai is not in code page 936
  EXPECT_EQ(FromUtf16(kCodePageGbk, u"\U0001F600"), "?");  // one substitute for a pair
  int32_t used = 0;
  char out[8] = {};
  EXPECT_EQ(WideCharToMultiByte(kCodePageGbk, 0, u"\u0E01", 1, out, 8, nullptr, &used), 1);
  EXPECT_EQ(used, 1);
}

// ASCII runs are copied past the converter; what lies between them must still convert as one
// whole input would: a double-byte character whose second byte is ASCII, cut or invalid
// sequences next to ASCII, and long mixed text.
TEST(CodePageTest, MixedAsciiConvertsAsOneInput) {
  EXPECT_EQ(ToUtf16(kCodePageGbk, "a\x81\x40@"), u"a\u4E02@");  // 0x40, '@', ends the pair
  EXPECT_EQ(FromUtf16(kCodePageGbk, u"a\u4E02@"), "a\x81\x40@");
  EXPECT_EQ(ToUtf16(kCodePageGbk, "a\x81"), u"a\uFFFD");  // lead byte at the end
  EXPECT_EQ(ToUtf16(kCodePageGbk,
                    "\x81\x7F"
                    "b"),
            u"\uFFFD\x7F"
            u"b");  // no such pair
  EXPECT_EQ(ToUtf16(kCodePageUtf8,
                    "\xE4"
                    "a\xE4\xB8"),
            u"\uFFFD"
            u"a\uFFFD\uFFFD");
  EXPECT_EQ(FromUtf16(kCodePageGbk,
                      u"\xD800"
                      u"a"),
            "?a");  // a lone surrogate before ASCII
  EXPECT_EQ(FromUtf16(kCodePageUtf8, u"x\U0001F600y"), "x\xF0\x9F\x98\x80y");

  std::string gbk;
  std::u16string wide;
  for (int i = 0; i < 3000; ++i) {
    gbk += i % 7 == 0 ? "\xD6\xD0\xCE\xC4" : "x";  // 中文
    gbk += "\x81\x40;";
    wide += i % 7 == 0 ? u"中文" : u"x";
    wide += u"\u4E02;";
  }
  EXPECT_EQ(ToUtf16(kCodePageGbk, gbk), wide);
  EXPECT_EQ(FromUtf16(kCodePageGbk, wide), gbk);
  EXPECT_EQ(ToUtf16(kCodePageUtf8, FromUtf16(kCodePageUtf8, wide)), wide);
}

// A size query counts without converting and a conversion writes straight into the caller's
// buffer; both must agree with the plain conversion wherever a non-ASCII piece falls within the
// ASCII runs that are read eight bytes (four units) at a time.
TEST(CodePageTest, SizeQueriesAndBuffersAgreeWithTheConversion) {
  struct Case {
    uint32_t codePage;
    std::string piece;
    std::u16string decoded;
  };
  const Case cases[] = {{kCodePageGbk, "\xD6\xD0", u"中"},
                        {kCodePageUtf8, "\xE4\xB8\xAD", u"中"},
                        {kCodePageUtf8, "\xFF", u"\uFFFD"}};
  for (const Case& c : cases) {
    for (size_t at = 0; at <= 20; ++at) {
      std::string bytes = std::string(at, 'a') + c.piece + std::string(21 - at, 'b');
      std::u16string wide = ToUtf16(c.codePage, bytes);
      ASSERT_EQ(wide, std::u16string(at, u'a') + c.decoded + std::u16string(21 - at, u'b')) << at;
      const auto n = static_cast<int32_t>(bytes.size());
      const auto w = static_cast<int32_t>(wide.size());
      ASSERT_EQ(MultiByteToWideChar(c.codePage, 0, bytes.data(), n, nullptr, 0), w) << at;
      std::u16string into(w + 1, u'#');
      ASSERT_EQ(MultiByteToWideChar(c.codePage, 0, bytes.data(), n, into.data(), w), w) << at;
      EXPECT_EQ(into, wide + u"#") << at;  // nothing written past the units
      EXPECT_EQ(MultiByteToWideChar(c.codePage, 0, bytes.data(), n, into.data(), w - 1), 0) << at;

      std::u16string text = std::u16string(at, u'a') + u"中\U0001F600" + std::u16string(21 - at, u'b');
      std::string narrow = FromUtf16(kCodePageGbk, text);
      ASSERT_EQ(narrow, std::string(at, 'a') + "\xD6\xD0?" + std::string(21 - at, 'b')) << at;
      const auto t = static_cast<int32_t>(text.size());
      const auto m = static_cast<int32_t>(narrow.size());
      int32_t used = 0;
      ASSERT_EQ(WideCharToMultiByte(kCodePageGbk, 0, text.data(), t, nullptr, 0, nullptr, &used), m) << at;
      EXPECT_EQ(used, 1);  // the emoji has no GBK form
      std::string out(m + 1, '#');
      ASSERT_EQ(WideCharToMultiByte(kCodePageGbk, 0, text.data(), t, out.data(), m, nullptr, nullptr), m)
          << at;
      EXPECT_EQ(out, narrow + "#") << at;
      EXPECT_EQ(WideCharToMultiByte(kCodePageGbk, 0, text.data(), t, out.data(), m - 1, nullptr, nullptr), 0)
          << at;
    }
  }
}

TEST(CodePageTest, PlatformCallingRules) {
  // Length -1 includes the terminating zero; a zero destination length asks for the size.
  EXPECT_EQ(MultiByteToWideChar(kCodePageGbk, 0, "中a", -1, nullptr, 0), 3);
  char16_t buf[4] = {};
  EXPECT_EQ(MultiByteToWideChar(kCodePageGbk, 0, "中a", -1, buf, 4), 3);
  EXPECT_EQ(buf[0], u'中');
  EXPECT_EQ(buf[2], 0);
  EXPECT_EQ(MultiByteToWideChar(kCodePageGbk, 0, "中a", -1, buf, 2), 0);  // does not fit
  EXPECT_EQ(MultiByteToWideChar(kCodePageGbk, 0, "x", 0, buf, 4), 0);
  EXPECT_EQ(WideCharToMultiByte(kCodePageUtf8, 0, u"中", 1, nullptr, 0, nullptr, nullptr), 3);
  EXPECT_EQ(lstrlenW(u"abc"), 3);
  EXPECT_EQ(lstrlenW(nullptr), 0);
}

}  // namespace
}  // namespace platform
