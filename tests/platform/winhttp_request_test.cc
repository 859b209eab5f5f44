// The request automation object over the request engine, against the scripted test servers
// (tests/support/scripted_servers.h) on both builds.
#include "platform/http/winhttp_request.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/com/automation.h"
#include "runtime/com/com_bridge.h"
#include "tests/support/scripted_servers.h"

namespace platform::http {
namespace {

using testing_support::EchoedRequest;
using testing_support::ScriptedServers;

class WinHttpRequestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    com::CoInitialize(nullptr);
    com::RegisterBuiltinClasses();
    servers_ = testing_support::TestServers();
    if (servers_ == nullptr) GTEST_SKIP() << "no test servers: start test-servers and set WL_TEST_SERVERS";
    ASSERT_TRUE(rt::com::Create(request_, kWinHttpRequestProgId));
  }
  void TearDown() override {
    rt::com::Clear(request_);
    com::CoUninitialize();
  }
  void Open(const std::string& method, const std::string& url, bool async = false) {
    rt::com::Call(request_, "Open",
                  {rt::TextArg(method.c_str()), rt::TextArg(url.c_str()), rt::BoolArg(async)});
  }
  // WaitForResponse: 1 complete, 0 not yet, -1 raised an error.
  int WaitForResponse(double seconds) {
    bool complete = rt::com::CallNumber(request_, "WaitForResponse", {rt::DoubleArg(seconds)}) != 0;
    return rt::com::LastError() != 0 ? -1 : complete ? 1 : 0;
  }
  rt::Text Option(int index) {
    rt::Text t = rt::com::GetText(request_, "Option", {rt::IntArg(index)});
    return rt::com::LastError() == 0 ? std::move(t) : rt::Text("<error>");
  }
  rt::ByteSet Body() {
    rt::com::Variant v = rt::com::GetVariant(request_, "ResponseBody");
    return rt::com::ToBytes(v);
  }

  std::string url(const std::string& path) const { return servers_->HttpUrl(path); }
  // What the server saw of the request whose response the object holds.
  EchoedRequest Seen() {
    return EchoedRequest::Decode(
        rt::com::CallText(request_, "GetResponseHeader", {rt::TextArg("X-Echo")}).str());
  }

  const ScriptedServers* servers_ = nullptr;
  rt::com::ComObject request_;
};

TEST_F(WinHttpRequestTest, FullRequestThroughTheBridge) {
  rt::com::Call(request_, "SetTimeouts",
                {rt::IntArg(5000), rt::IntArg(5000), rt::IntArg(5000), rt::IntArg(5000)});
  EXPECT_EQ(rt::com::LastError(), 0);
  Open("GET", url("/hello"));
  EXPECT_EQ(rt::com::LastError(), 0);
  EXPECT_TRUE(rt::com::SetProperty(request_, "Option", {rt::IntArg(4), rt::IntArg(0x3300)}));
  EXPECT_EQ(rt::com::GetNumber(request_, "Option", {rt::IntArg(4)}), 0x3300);
  rt::com::Call(request_, "SetRequestHeader", {rt::TextArg("X-Mine"), rt::TextArg("v1")});
  EXPECT_EQ(rt::com::LastError(), 0);
  rt::com::Call(request_, "Send", {rt::TextArg("")});
  EXPECT_EQ(rt::com::LastError(), 0);
  EXPECT_EQ(rt::com::GetNumber(request_, "Status"), 201);
  EXPECT_EQ(rt::com::GetText(request_, "StatusText").str(), "Created");
  EXPECT_EQ(Body().view(), "\xE4\xB8\xAD");
  EXPECT_EQ(rt::com::GetText(request_, "ResponseText").str(), "中");  // UTF-8 read, GBK in the runtime
  EXPECT_EQ(Seen().Header("X-Mine"), "v1");
  EXPECT_EQ(rt::com::CallText(request_, "GetResponseHeader", {rt::TextArg("content-type")}).str(),
            "text/plain");
  rt::Text all = rt::com::CallText(request_, "GetAllResponseHeaders");
  EXPECT_NE(all.view().find("Content-Type: text/plain\r\n"), std::string_view::npos);
  EXPECT_EQ(all.view().substr(all.size() - 4), "\r\n\r\n");
}

TEST_F(WinHttpRequestTest, SelfSignedCertificateAcceptedOnlyWhenTheOptionIgnoresItsErrors) {
  Open("GET", servers_->HttpsUrl("/hello"));
  rt::com::Call(request_, "Send", {rt::TextArg("")});
  EXPECT_EQ(rt::com::LastError(), rt::kComException);
  Open("GET", servers_->HttpsUrl("/hello"));
  EXPECT_TRUE(rt::com::SetProperty(request_, "Option", {rt::IntArg(4), rt::IntArg(0x3300)}));
  rt::com::Call(request_, "Send", {rt::TextArg("")});
  EXPECT_EQ(rt::com::LastError(), 0);
  EXPECT_EQ(rt::com::GetNumber(request_, "Status"), 201);
  // With the option back at 0, the next request checks again.
  Open("GET", servers_->HttpsUrl("/hello"));
  EXPECT_TRUE(rt::com::SetProperty(request_, "Option", {rt::IntArg(4), rt::IntArg(0)}));
  rt::com::Call(request_, "Send", {rt::TextArg("")});
  EXPECT_EQ(rt::com::LastError(), rt::kComException);
}

TEST_F(WinHttpRequestTest, ByteArrayBodyAndRedirectOption) {
  Open("POST", url("/echo"));
  rt::com::Variant bytes;
  ASSERT_TRUE(rt::com::Assign(bytes, rt::BytesArg(rt::ByteSet(std::string_view("a\0b", 3)))));
  rt::com::Call(request_, "Send", {bytes.Arg()});
  EXPECT_EQ(rt::com::LastError(), 0);
  EXPECT_EQ(Body().view(), std::string_view("body:a\0b", 8));

  EXPECT_TRUE(rt::com::SetProperty(request_, "Option", {rt::IntArg(6), rt::IntArg(0)}));
  EXPECT_EQ(rt::com::GetNumber(request_, "Option", {rt::IntArg(6)}), 0);
  EXPECT_FALSE(
      rt::com::SetProperty(request_, "Option", {rt::IntArg(4), rt::IntArg(0x4000)}));  // unknown flag
}

TEST_F(WinHttpRequestTest, RefusalsRaiseErrorsAndLeaveNoResponse) {
  rt::com::Call(request_, "SetRequestHeader", {rt::TextArg("X"), rt::TextArg("1")});  // before Open
  EXPECT_EQ(rt::com::LastError(), rt::kComException);
  Open("GET", url("/hello"));
  rt::com::Call(request_, "Send", {rt::TextArg("")});
  ASSERT_EQ(rt::com::GetNumber(request_, "Status"), 201);

  Open("GET", url("/hello") + "\r\nX-Evil: 1");
  EXPECT_EQ(rt::com::LastError(), rt::kComException);
  rt::com::Call(request_, "SetRequestHeader", {rt::TextArg(""), rt::TextArg("v")});
  EXPECT_EQ(rt::com::LastError(), rt::kComException);
  rt::com::Call(request_, "Send", {rt::TextArg("")});
  EXPECT_EQ(rt::com::LastError(), rt::kComException);
  // Nothing of the earlier response is visible any more.
  EXPECT_EQ(rt::com::GetNumber(request_, "Status"), 0);
  EXPECT_EQ(rt::com::LastError(), rt::kComException);
  EXPECT_TRUE(Body().empty());
  EXPECT_TRUE(rt::com::CallText(request_, "GetAllResponseHeaders").empty());

  Open("GET", url("/hello"));
  rt::com::Call(request_, "SetRequestHeader", {rt::TextArg("X-A"), rt::TextArg("a\r\nX-Evil: 1")});
  EXPECT_EQ(rt::com::LastError(), rt::kComException);
  rt::com::Call(request_, "SetProxy", {rt::IntArg(2), rt::TextArg("")});
  EXPECT_EQ(rt::com::LastError(), rt::kComException);
}

TEST_F(WinHttpRequestTest, AnAsynchronousSendReturnsAtOnceAndWaitForResponseTellsWhenItIsIn) {
  Open("GET", url("/slow"), true);
  rt::com::Call(request_, "Send");
  EXPECT_EQ(rt::com::LastError(), 0);
  EXPECT_EQ(WaitForResponse(0), 0);  // the server takes 400 ms
  rt::com::GetNumber(request_, "Status");
  EXPECT_EQ(rt::com::LastError(), rt::kComException);  // nothing to read yet
  EXPECT_EQ(WaitForResponse(20), 1);
  EXPECT_EQ(rt::com::GetNumber(request_, "Status"), 200);
  EXPECT_EQ(Body().view(), "done");
  EXPECT_EQ(WaitForResponse(0), 1);  // and stays complete

  // Abort ends it; waiting then raises, as the failed send would have.
  Open("GET", url("/slow"), true);
  rt::com::Call(request_, "Send");
  rt::com::Call(request_, "Abort");
  EXPECT_EQ(rt::com::LastError(), 0);
  EXPECT_EQ(WaitForResponse(5), -1);
  EXPECT_TRUE(Body().empty());

  // A transfer that fails raises in WaitForResponse; the object takes the next request.
  Open("GET", ScriptedServers::Url(servers_->closed, "/"), true);
  rt::com::Call(request_, "Send");
  EXPECT_EQ(rt::com::LastError(), 0);
  EXPECT_EQ(WaitForResponse(-1), -1);
  Open("GET", url("/hello"), true);
  rt::com::Call(request_, "Send");
  EXPECT_EQ(WaitForResponse(-1), 1);
  EXPECT_EQ(rt::com::GetNumber(request_, "Status"), 201);
}

TEST_F(WinHttpRequestTest, OptionsThatExistWorkAndTheOthersRaise) {
  // 0: the user agent of requests that set none.
  EXPECT_TRUE(rt::com::SetProperty(request_, "Option", {rt::IntArg(0), rt::TextArg("Agent/7")}));
  EXPECT_EQ(Option(0).str(), "Agent/7");
  Open("GET", url("/slow"));
  rt::com::Call(request_, "Send");
  EXPECT_EQ(Seen().Header("User-Agent"), "Agent/7");
  EXPECT_FALSE(rt::com::SetProperty(request_, "Option", {rt::IntArg(0), rt::TextArg("a\r\nX: 1")}));

  // 1: the address, after the redirects followed; read-only.
  Open("GET", url("/redirect"));
  EXPECT_EQ(Option(1).str(), url("/redirect"));
  rt::com::Call(request_, "Send");
  EXPECT_EQ(Option(1).str(), url("/final"));
  EXPECT_FALSE(rt::com::SetProperty(request_, "Option", {rt::IntArg(1), rt::TextArg("http://x/")}));

  // 12: https-to-http redirects, off until set.
  EXPECT_EQ(rt::com::GetNumber(request_, "Option", {rt::IntArg(12)}), 0);
  EXPECT_TRUE(rt::com::SetProperty(request_, "Option", {rt::IntArg(12), rt::BoolArg(true)}));
  EXPECT_NE(rt::com::GetNumber(request_, "Option", {rt::IntArg(12)}), 0);

  // Anything else is an option this object does not support: an error, never a silent success.
  for (int index : {2, 3, 5, 7, 9, 11, 13, 99, -1}) {
    SCOPED_TRACE(index);
    EXPECT_FALSE(rt::com::SetProperty(request_, "Option", {rt::IntArg(index), rt::IntArg(1)}));
    rt::com::GetVariant(request_, "Option", {rt::IntArg(index)});
    EXPECT_EQ(rt::com::LastError(), rt::kComException);
  }
}

}  // namespace
}  // namespace platform::http
