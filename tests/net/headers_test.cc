#include "net/headers.h"

#include <gtest/gtest.h>

#include "platform/com/com_init.h"
#include "tests/support/recording_request.h"

namespace net {
namespace {

std::string Joined(std::initializer_list<const char*> lines) {
  std::string out;
  for (const char* l : lines) out += (out.empty() ? "" : "\r\n") + std::string(l);
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

}  // namespace
}  // namespace net
