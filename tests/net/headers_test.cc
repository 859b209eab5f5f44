#include "net/headers.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>

#include "net/text_pieces.h"
#include "platform/com/com_init.h"
#include "tests/support/recording_request.h"

namespace net {
namespace {

std::string Joined(std::initializer_list<const char*> lines) {
  std::string out;
  for (const char* l : lines) {
    if (!out.empty()) out += "\r\n";
    out += l;
  }
  return out;
}

std::string Completed(const char* block, const char* url, int32_t method) {
  rt::Text headers(block);
  AddDefaultHeaders(headers, url, method);
  return NormalizeHeaders(headers).str();
}

TEST(HeadersTest, DefaultsAreAddedOnlyWhenAbsentAnywhereInTheBlock) {
  EXPECT_EQ(Completed("user-agent: X", "U", 0),
            Joined({"User-Agent: X", "Accept: */*", "Referer: U", "Accept-Language: zh-cn"}));
  EXPECT_EQ(Completed("", "U", 1), Joined({"Accept: */*", "Referer: U", "Accept-Language: zh-cn",
                                           "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)",
                                           "Content-Type: application/x-www-form-urlencoded"}));
  EXPECT_EQ(Completed("", "U", 3).find("Content-Type"), std::string::npos);  // PUT: no form type
  // A value holding "referer:" in any case suppresses the default Referer.
  EXPECT_EQ(Completed("X-Note: see REFERER: elsewhere", "U", 0).find("Referer: U"), std::string::npos);
  // The raw block grows in place; an empty block starts with CR LF.
  rt::Text block;
  AddDefaultHeaders(block, "U", 0);
  EXPECT_EQ(block.view().substr(0, 10), "\r\nAccept: ");
}

TEST(HeadersTest, NormalisationTrap) {
  EXPECT_EQ(
      Completed("\r\nuser-agent: X\r\n\r\ncontent-TYPE: a: b", "U", 1),
      Joined({"User-Agent: X", "Content-TYPE: ", "Accept: */*", "Referer: U", "Accept-Language: zh-cn"}));
}

TEST(HeadersTest, NormaliseNamesAndLines) {
  EXPECT_EQ(NormalizeHeaders("content-type: text/plain").str(), "Content-Type: text/plain");
  EXPECT_EQ(NormalizeHeaders("X-Token:abc").str(), "");  // no blank after the colon: dropped
  EXPECT_EQ(NormalizeHeaders("Name: a: b").str(), "Name: ");
  EXPECT_EQ(NormalizeHeaders("x--y: 1").str(), "X--Y: 1");
  EXPECT_EQ(NormalizeHeaders("ACCEPT: v").str(), "ACCEPT: v");
  EXPECT_EQ(NormalizeHeaders("a: 1\r\n\r\nb: 2\r\n").str(), "A: 1\r\nB: 2");
  EXPECT_EQ(NormalizeHeaders("").str(), "");
  EXPECT_EQ(NormalizeHeaders("v:  padded ").str(), "V:  padded ");  // values are not trimmed here
  EXPECT_EQ(CapitalizeFirst("").str(), "");
  EXPECT_EQ(CapitalizeFirst("\xD6\xD0x").str(), "\xD6\xD0x");  // a lead byte is no letter
  EXPECT_EQ(CapitalizeFirst("abc").str(), "Abc");

  // Separators are looked for within each line: many lines without one, one line with a
  // separator only at the very end of the block, and dashes that belong to later lines.
  std::string block;
  for (int i = 0; i < 5000; ++i) block += "no separator here-at all\r\n";
  block += "last-one: v";
  EXPECT_EQ(NormalizeHeaders(block.c_str()).str(), "Last-One: v");
}

TEST(HeadersTest, NameAndValueOfALine) {
  EXPECT_EQ(HeaderName(" Host : a:b ").str(), "Host");
  EXPECT_EQ(HeaderValue(" Host : a:b ").str(), "a:b");
  EXPECT_EQ(HeaderValue("K:\xA1\xA1v\xA1\xA1").str(), "v");  // full-width blanks trimmed too
  EXPECT_EQ(HeaderValue("K:\tv").str(), "\tv");              // a tab is not a blank
  EXPECT_EQ(HeaderName("no colon").str(), "");
  EXPECT_EQ(HeaderValue("no colon").str(), "");
}

TEST(HeadersTest, Base64) {
  auto enc = [](std::string_view s) { return Base64Encode(rt::ByteSet(s)).str(); };
  EXPECT_EQ(enc(""), "");
  EXPECT_EQ(enc("f"), "Zg==");
  EXPECT_EQ(enc("fo"), "Zm8=");
  EXPECT_EQ(enc("foo"), "Zm9v");
  EXPECT_EQ(enc("foobar"), "Zm9vYmFy");
  EXPECT_EQ(enc("user:"), "dXNlcjo=");
  EXPECT_EQ(enc(std::string("\xFF\x00\xFE", 3)), "/wD+");
}

TEST(HeadersTest, SendHeaderLinesMakesOneCallPerNonEmptyLine) {
  platform::com::CoInitialize(nullptr);
  testing_support::ScopedRecordingRequest recorder;
  {
    rt::com::ComObject request;
    ASSERT_TRUE(rt::com::Create(request, "WinHttp.WinHttpRequest.5.1"));
    SendHeaderLines(request, "A: 1\r\n\r\nB: x: y");
    SendHeaderLines(request, "Single: line");
    SendHeaderLines(request, "");
  }
  EXPECT_EQ(recorder.log().calls,
            (std::vector<std::string>{"SetRequestHeader 'A'|'1'", "SetRequestHeader 'B'|'x: y'",
                                      "SetRequestHeader 'Single'|'line'", "SetRequestHeader ''|''"}));
  platform::com::CoUninitialize();
}

// ---- The single-buffer assembly against the kernel commands composed as the rules read --------

// The rules written out with one kernel command per step and a new text per piece.
rt::Text ComposedNormalize(kernel::TextRef headers) {
  rt::Text result;
  rt::TextArray lines = kernel::SplitText(headers, "\r\n");
  for (int64_t i = 1; i <= lines.size(); ++i) {
    const char* line = lines.at(i);
    if (kernel::FindText(line, ": ") == -1) continue;
    rt::TextArray parts = kernel::SplitText(line, ": ");
    if (parts.size() == 0) continue;
    rt::Text name;
    rt::TextArray words = kernel::SplitText(parts.at(1), "-");
    if (kernel::FindText(parts.at(1), "-") == -1) {
      name = CapitalizeFirst(parts.at(1));
    } else {
      for (int64_t w = 1; w <= words.size(); ++w)
        name = w == 1 ? CapitalizeFirst(words.at(w)) : Concat({name, "-", CapitalizeFirst(words.at(w))});
    }
    result = Concat({result, name, ": ", parts.size() == 2 ? parts.at(2) : "", "\r\n"});
  }
  return kernel::LeftText(result, kernel::TextLength(result) - 2);
}

rt::Text ComposedValue(kernel::TextRef line) {
  int32_t colon = kernel::FindText(line, ":");
  if (colon == -1) return rt::Text();
  return kernel::TrimSpaces(kernel::MidText(line, colon + 1, kernel::TextLength(line)));
}

// Blocks cut from pieces that meet the rules' edges: separators, dashes at word ends, lower
// and upper letters, ASCII and full-width blanks, a Chinese character and a lone lead byte.
std::string RandomBlock(std::mt19937& random) {
  static const char* const kPieces[] = {
      "a",    "Z", "x-y", "-",  ":", ": ", "\r\n",     " ",       "\xA1\xA1",   "\xD6\xD0",
      "\x81", "q", "\r",  "\n", ";", "=",  "referer:", "ACCEPT:", "set-cookie", "Set-Cookie",
  };
  std::string block;
  int n = std::uniform_int_distribution<int>(0, 14)(random);
  for (int i = 0; i < n; ++i) block += kPieces[random() % std::size(kPieces)];
  return block;
}

TEST(HeadersTest, AssemblyAgreesWithTheComposedKernelCommandsOnGeneratedBlocks) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 4000; ++round) {
    std::string block = RandomBlock(random);
    SCOPED_TRACE(testing::PrintToString(block));
    ASSERT_EQ(NormalizeHeaders(block).view(), ComposedNormalize(block).view());
    ASSERT_EQ(HeaderValue(block).view(), ComposedValue(block).view());
    int32_t colon = kernel::FindText(block, ":");
    ASSERT_EQ(HeaderName(block).view(),
              colon == -1 ? "" : kernel::TrimSpaces(kernel::LeftText(block, colon - 1)).view());
    // Defaults: appended text by text, each search seeing what came before.
    int32_t method = round % 3;
    rt::Text composed(block), assembled(block);
    const char* const kSought[] = {"Accept:", "Referer:", "Accept-Language:", "User-Agent:", "Content-Type:"};
    const char* const kAppended[] = {"\r\nAccept: */*", "\r\nReferer: ", "\r\nAccept-Language: zh-cn",
                                     "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)",
                                     "\r\nContent-Type: application/x-www-form-urlencoded"};
    std::string url = RandomBlock(random);
    for (int d = 0; d < 5; ++d) {
      if (d == 4 && method != 1) continue;
      if (kernel::FindText(composed, kSought[d], std::nullopt, true) != -1) continue;
      composed = d == 1 ? Concat({composed, kAppended[d], url}) : Concat({composed, kAppended[d]});
    }
    AddDefaultHeaders(assembled, url, method);
    ASSERT_EQ(assembled.view(), composed.view());
  }
}

}  // namespace
}  // namespace net
