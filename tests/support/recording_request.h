// A stand-in for the request automation object: same type information, registered under the
// same ProgID while it lives, it records every call as a line of text and answers the reads
// with canned values.
//
// Ownership: the registration is undone (the real class registered again) by the destructor.
#ifndef TESTS_SUPPORT_RECORDING_REQUEST_H_
#define TESTS_SUPPORT_RECORDING_REQUEST_H_

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/com/automation.h"
#include "platform/http/winhttp_request.h"

namespace testing_support {

struct RequestLog {
  std::vector<std::string> calls;
  int created = 0;
  std::string responseBody = "hi";
  std::string responseHeaders;  // GetAllResponseHeaders
  int32_t status = 200;
};

class RecordingRequest final : public platform::com::AutomationObject {
 public:
  explicit RecordingRequest(std::shared_ptr<RequestLog> log)
      : AutomationObject(platform::http::WinHttpRequestType()), log_(std::move(log)) {}

 protected:
  platform::com::HRESULT Call(platform::com::DISPID id, uint16_t kind, platform::com::InvokeArgs& args,
                              platform::com::VARIANT* result) override {
    namespace pc = platform::com;
    const platform::com::TypeInfo& type = platform::http::WinHttpRequestType();
    const pc::FUNCDESC* f = type.FindFunction(id, kind);
    std::string line = f ? platform::FromUtf16(platform::kCodePageGbk, f->name) : "?";
    for (size_t i = 0; i < args.size(); ++i) {
      line += i == 0 ? " " : "|";
      line += Describe(args, i);
    }
    log_->calls.push_back(line);
    if (line == "ResponseBody" && result) {
      pc::SAFEARRAY* sa =
          pc::SafeArrayCreateVector(pc::VT_UI1, 0, static_cast<uint32_t>(log_->responseBody.size()));
      if (!log_->responseBody.empty())
        std::memcpy(sa->pvData, log_->responseBody.data(), log_->responseBody.size());
      pc::VariantInit(result);
      result->vt = pc::VT_ARRAY | pc::VT_UI1;
      result->parray = sa;
    } else if (line == "GetAllResponseHeaders" && result) {
      *result = pc::MakeBstrVariant(platform::ToUtf16(platform::kCodePageGbk, log_->responseHeaders));
    } else if (line == "Status" && result) {
      *result = pc::MakeI4Variant(log_->status);
    } else if (line.rfind("WaitForResponse", 0) == 0 && result) {
      *result = pc::MakeBoolVariant(true);  // the canned response is always in
    }
    return pc::S_OK;
  }

 private:
  static std::string Describe(platform::com::InvokeArgs& args, size_t i) {
    namespace pc = platform::com;
    if (!args.Has(i)) return "<missing>";
    const pc::VARIANT& v = args[i];
    pc::VARTYPE vt = v.vt & ~pc::VT_BYREF;
    if (vt == (pc::VT_ARRAY | pc::VT_UI1)) {
      pc::SAFEARRAY* sa = (v.vt & pc::VT_BYREF) ? *v.pparray : v.parray;
      return "<bytes:" + std::string(static_cast<const char*>(sa->pvData), sa->rgsabound[0].cElements) + ">";
    }
    if (vt == pc::VT_BOOL) return v.boolVal ? "true" : "false";
    std::string text = platform::FromUtf16(platform::kCodePageGbk, args.Text(i));
    return vt == pc::VT_BSTR ? "'" + text + "'" : text;
  }
  std::shared_ptr<RequestLog> log_;
};

// Registers the recorder as "WinHttp.WinHttpRequest.5.1" for its lifetime.
class ScopedRecordingRequest {
 public:
  ScopedRecordingRequest() : log_(std::make_shared<RequestLog>()) {
    // The built-in classes first, so that their registration does not replace this one later.
    platform::com::RegisterBuiltinClasses();
    std::shared_ptr<RequestLog> log = log_;
    platform::com::RegisterClass(platform::http::kWinHttpRequestProgId, platform::http::kWinHttpRequestClsid,
                                 [log] {
                                   ++log->created;
                                   return platform::com::NewObject<RecordingRequest>(log);
                                 });
  }
  ~ScopedRecordingRequest() {
    platform::com::RegisterClass(platform::http::kWinHttpRequestProgId, platform::http::kWinHttpRequestClsid,
                                 &platform::http::NewWinHttpRequest);
  }
  RequestLog& log() { return *log_; }

 private:
  std::shared_ptr<RequestLog> log_;
};

}  // namespace testing_support

#endif  // TESTS_SUPPORT_RECORDING_REQUEST_H_
