#include "platform/http/winhttp_request.h"

#include <gtest/gtest.h>

#include "platform/com/automation.h"
#include "runtime/com/com_bridge.h"
#include "tests/support/local_servers.h"

namespace platform::http {
namespace {

using testing_support::LocalServer;

class WinHttpRequestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    com::CoInitialize(nullptr);
    com::RegisterBuiltinClasses();
    server_->Get("/hello", [](const httplib::Request& req, httplib::Response& res) {
      res.status = 201;
      res.set_header("X-Seen", req.get_header_value("X-Mine"));
      res.set_content("\xE4\xB8\xAD", "text/plain");  // one Chinese character in UTF-8
    });
    server_->Post("/echo", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content(req.body, "application/octet-stream");
    });
    server_.Start();
    ASSERT_TRUE(rt::com::Create(request_, kWinHttpRequestProgId));
  }
  void TearDown() override {
    rt::com::Clear(request_);
    com::CoUninitialize();
  }
  void Open(const std::string& method, const std::string& url) {
    rt::com::Call(request_, "Open",
                  {rt::TextArg(method.c_str()), rt::TextArg(url.c_str()), rt::BoolArg(false)});
  }
  rt::ByteSet Body() {
    rt::com::Variant v = rt::com::GetVariant(request_, "ResponseBody");
    return rt::com::ToBytes(v);
  }

  LocalServer server_;
  rt::com::ComObject request_;
};

TEST_F(WinHttpRequestTest, FullRequestThroughTheBridge) {
  rt::com::Call(request_, "SetTimeouts",
                {rt::IntArg(5000), rt::IntArg(5000), rt::IntArg(5000), rt::IntArg(5000)});
  EXPECT_EQ(rt::com::LastError(), 0);
  Open("GET", server_.url("/hello"));
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
  EXPECT_EQ(rt::com::CallText(request_, "GetResponseHeader", {rt::TextArg("x-seen")}).str(), "v1");
  rt::Text all = rt::com::CallText(request_, "GetAllResponseHeaders");
  EXPECT_NE(all.view().find("X-Seen: v1\r\n"), std::string_view::npos);
  EXPECT_EQ(all.view().substr(all.size() - 4), "\r\n\r\n");
}

TEST_F(WinHttpRequestTest, ByteArrayBodyAndRedirectOption) {
  Open("POST", server_.url("/echo"));
  rt::com::Variant bytes;
  ASSERT_TRUE(rt::com::Assign(bytes, rt::BytesArg(rt::ByteSet(std::string_view("a\0b", 3)))));
  rt::com::Call(request_, "Send", {bytes.Arg()});
  EXPECT_EQ(rt::com::LastError(), 0);
  EXPECT_EQ(Body().view(), std::string_view("a\0b", 3));

  EXPECT_TRUE(rt::com::SetProperty(request_, "Option", {rt::IntArg(6), rt::IntArg(0)}));
  EXPECT_EQ(rt::com::GetNumber(request_, "Option", {rt::IntArg(6)}), 0);
  EXPECT_FALSE(
      rt::com::SetProperty(request_, "Option", {rt::IntArg(4), rt::IntArg(0x4000)}));  // unknown flag
}

TEST_F(WinHttpRequestTest, RefusalsRaiseErrorsAndLeaveNoResponse) {
  rt::com::Call(request_, "SetRequestHeader", {rt::TextArg("X"), rt::TextArg("1")});  // before Open
  EXPECT_EQ(rt::com::LastError(), rt::kComException);
  Open("GET", server_.url("/hello"));
  rt::com::Call(request_, "Send", {rt::TextArg("")});
  ASSERT_EQ(rt::com::GetNumber(request_, "Status"), 201);

  Open("GET", server_.url("/hello") + "\r\nX-Evil: 1");
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

  Open("GET", server_.url("/hello"));
  rt::com::Call(request_, "SetRequestHeader", {rt::TextArg("X-A"), rt::TextArg("a\r\nX-Evil: 1")});
  EXPECT_EQ(rt::com::LastError(), rt::kComException);
  rt::com::Call(request_, "SetProxy", {rt::IntArg(2), rt::TextArg("")});
  EXPECT_EQ(rt::com::LastError(), rt::kComException);
}

}  // namespace
}  // namespace platform::http
