#include "platform/http/winhttp_request.h"

#include <cstring>
#include <map>
#include <string>

#include "platform/codepage.h"
#include "platform/http/http_engine.h"

namespace platform::http {

using namespace platform::com;  // NOLINT: the object model's names throughout this file

const CLSID kWinHttpRequestClsid = {
    0x2087C2F4, 0x2CEF, 0x4953, {0xA8, 0xAB, 0x66, 0x77, 0x9B, 0x67, 0x04, 0x95}};

namespace {

enum Member : DISPID {
  kSetTimeouts = 1,
  kSetProxy,
  kOpen,
  kOption,
  kSetRequestHeader,
  kSend,
  kResponseBody,
  kGetAllResponseHeaders,
  kStatus,
  kResponseText,
  kGetResponseHeader,
  kStatusText,
};

std::string Utf8(std::u16string_view s) { return platform::FromUtf16(kCodePageUtf8, s); }
// Argument i as UTF-8, read in place when it is a text already.
std::string Utf8Arg(const InvokeArgs& args, size_t i) {
  std::u16string scratch;
  return Utf8(args.TextView(i, scratch));
}
std::u16string Utf16(std::string_view s) { return platform::ToUtf16(kCodePageUtf8, s); }

class WinHttpRequest final : public AutomationObject {
 public:
  static const TypeInfo& Type() { return WinHttpRequestType(); }
  WinHttpRequest() : AutomationObject(Type()) {}

 protected:
  HRESULT Call(DISPID id, uint16_t kind, InvokeArgs& args, VARIANT* result) override {
    switch (id) {
      case kSetTimeouts:
        engine_.SetTimeouts(args.Int(0), args.Int(1), args.Int(2), args.Int(3));
        return S_OK;
      case kSetProxy:
        return SetProxy(args);
      case kOpen:
        // Requests are always synchronous here; the third argument is accepted and ignored.
        return engine_.Open(Utf8Arg(args, 0), Utf8Arg(args, 1)) ? S_OK : DISP_E_EXCEPTION;
      case kOption:
        return kind == DISPATCH_PROPERTYGET ? GetOption(args.Int(0), result)
                                            : SetOption(args.Int(0), args[1]);
      case kSetRequestHeader:
        return engine_.SetRequestHeader(Utf8Arg(args, 0), Utf8Arg(args, 1)) ? S_OK : DISP_E_EXCEPTION;
      case kSend:
        return Send(args);
      case kResponseBody:
        return ResponseBody(result);
      case kGetAllResponseHeaders:
        return ReturnText(Utf16(engine_.AllResponseHeaders()), result);
      case kStatus:
        if (!engine_.hasResponse()) return DISP_E_EXCEPTION;
        if (result) *result = MakeI4Variant(engine_.status());
        return S_OK;
      case kResponseText:
        // The body read as UTF-8, the charset nearly every page declares.
        return ReturnText(Utf16(engine_.body()), result);
      case kGetResponseHeader: {
        if (!engine_.hasResponse()) return DISP_E_EXCEPTION;
        std::optional<std::string> value = engine_.ResponseHeader(Utf8Arg(args, 0));
        if (!value) return DISP_E_EXCEPTION;
        if (result) *result = MakeBstrVariant(Utf16(*value));
        return S_OK;
      }
      case kStatusText:
        return ReturnText(Utf16(engine_.statusText()), result);
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  HRESULT SetProxy(InvokeArgs& args) {
    switch (args.Int(0)) {
      case kProxySettingDefault:
        engine_.SetProxyFromEnvironment();
        return S_OK;
      case kProxySettingDirect:
        engine_.SetDirect();
        return S_OK;
      case kProxySettingProxy:
        return engine_.SetNamedProxy(Utf8Arg(args, 1), Utf8Arg(args, 2)) ? S_OK : DISP_E_EXCEPTION;
      default:
        return DISP_E_EXCEPTION;
    }
  }

  HRESULT GetOption(int32_t index, VARIANT* result) {
    if (result == nullptr) return S_OK;
    switch (index) {
      case kOptionSslErrorIgnoreFlags:
        *result = MakeI4Variant(static_cast<int32_t>(engine_.certificateErrorMask()));
        return S_OK;
      case kOptionEnableRedirects:
        *result = MakeBoolVariant(engine_.followRedirects());
        return S_OK;
      default: {
        auto it = options_.find(index);
        if (it == options_.end()) return DISP_E_EXCEPTION;
        return VariantCopy(result, &it->second);
      }
    }
  }

  HRESULT SetOption(int32_t index, const VARIANT& value) {
    VARIANT v;
    VariantInit(&v);
    switch (index) {
      case kOptionSslErrorIgnoreFlags:
        if (Failed(VariantChangeType(&v, &value, 0, VT_I4))) return DISP_E_EXCEPTION;
        // Only the four flags the platform knows; other bits are refused.
        if (static_cast<uint32_t>(v.lVal) & ~kIgnoreAllCertErrors) return DISP_E_EXCEPTION;
        engine_.SetCertificateErrorMask(static_cast<uint32_t>(v.lVal));
        return S_OK;
      case kOptionEnableRedirects:
        if (Failed(VariantChangeType(&v, &value, 0, VT_BOOL))) return DISP_E_EXCEPTION;
        engine_.SetFollowRedirects(v.boolVal != 0);
        return S_OK;
      default:
        VariantClear(&options_[index]);
        return VariantCopyInd(&options_[index], &value);
    }
  }

  HRESULT Send(InvokeArgs& args) {
    std::string body;
    if (args.Has(0)) {
      const VARIANT& v = args[0];
      VARTYPE vt = v.vt & ~VT_BYREF;
      if (vt == (VT_ARRAY | VT_UI1) || vt == (VT_ARRAY | VT_I1)) {
        SAFEARRAY* sa = (v.vt & VT_BYREF) ? *v.pparray : v.parray;
        if (sa != nullptr && sa->cDims == 1)
          body.assign(static_cast<const char*>(sa->pvData), sa->rgsabound[0].cElements);
      } else if (vt != VT_EMPTY && vt != VT_NULL) {
        // Texts go out as UTF-8.
        body = Utf8Arg(args, 0);
      }
    }
    bool ok = engine_.Send(body);
    return ok ? S_OK : DISP_E_EXCEPTION;
  }

  HRESULT ResponseBody(VARIANT* result) {
    if (!engine_.hasResponse()) return DISP_E_EXCEPTION;
    if (result == nullptr) return S_OK;
    const std::string& body = engine_.body();
    SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, static_cast<uint32_t>(body.size()));
    if (sa == nullptr) return E_OUTOFMEMORY;
    if (!body.empty()) std::memcpy(sa->pvData, body.data(), body.size());
    VariantInit(result);
    result->vt = VT_ARRAY | VT_UI1;
    result->parray = sa;
    return S_OK;
  }

  HRESULT ReturnText(const std::u16string& text, VARIANT* result) {
    if (!engine_.hasResponse()) return DISP_E_EXCEPTION;
    if (result) *result = MakeBstrVariant(text);
    return S_OK;
  }

  HttpEngine engine_;
  std::map<int32_t, VARIANT> options_;

 public:
  ~WinHttpRequest() override {
    for (auto& [index, v] : options_) VariantClear(&v);
  }
};

}  // namespace

const TypeInfo& WinHttpRequestType() {
  static TypeInfo* type = new TypeInfo(
      u"IWinHttpRequest",
      {
          Method(kSetTimeouts, "SetTimeouts", VT_EMPTY,
                 {Param(VT_I4), Param(VT_I4), Param(VT_I4), Param(VT_I4)}),
          Method(kSetProxy, "SetProxy", VT_EMPTY,
                 {Param(VT_I4), Param(VT_VARIANT, PARAMFLAG_FIN | PARAMFLAG_FOPT),
                  Param(VT_VARIANT, PARAMFLAG_FIN | PARAMFLAG_FOPT)}),
          Method(kOpen, "Open", VT_EMPTY,
                 {Param(VT_BSTR), Param(VT_BSTR), Param(VT_VARIANT, PARAMFLAG_FIN | PARAMFLAG_FOPT)}),
          PropertyGet(kOption, "Option", VT_VARIANT, {Param(VT_I4)}),
          PropertyPut(kOption, "Option", VT_VARIANT, {Param(VT_I4)}),
          Method(kSetRequestHeader, "SetRequestHeader", VT_EMPTY, {Param(VT_BSTR), Param(VT_BSTR)}),
          Method(kSend, "Send", VT_EMPTY, {Param(VT_VARIANT, PARAMFLAG_FIN | PARAMFLAG_FOPT)}),
          PropertyGet(kResponseBody, "ResponseBody", VT_VARIANT),
          Method(kGetAllResponseHeaders, "GetAllResponseHeaders", VT_BSTR),
          PropertyGet(kStatus, "Status", VT_I4),
          PropertyGet(kResponseText, "ResponseText", VT_BSTR),
          Method(kGetResponseHeader, "GetResponseHeader", VT_BSTR, {Param(VT_BSTR)}),
          PropertyGet(kStatusText, "StatusText", VT_BSTR),
      });
  return *type;
}

IUnknown* NewWinHttpRequest() { return NewObject<WinHttpRequest>(); }

void RegisterWinHttpRequestClass() {
  AddBuiltinClass(kWinHttpRequestProgId, kWinHttpRequestClsid, &NewWinHttpRequest);
}

}  // namespace platform::http
