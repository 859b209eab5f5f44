#include "platform/http/winhttp_request.h"

#include <climits>
#include <cstring>
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
  kWaitForResponse,
  kAbort,
  kFailure,
  kSetCookieLines,
};

std::string Utf8(std::u16string_view s) { return platform::FromUtf16(kCodePageUtf8, s); }
// Argument i as UTF-8, read in place when it is a text already.
std::string Utf8Arg(const InvokeArgs& args, size_t i) {
  std::u16string scratch;
  return Utf8(args.TextView(i, scratch));
}
std::u16string Utf16(std::string_view s) { return platform::ToUtf16(kCodePageUtf8, s); }

// Whether `s` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t n;
    uint32_t min, cp;
    if (c >= 0xC2 && c <= 0xDF) {
      n = 1, min = 0x80, cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      n = 2, min = 0x800, cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 3, min = 0x10000, cp = c & 0x07;
    } else {
      return false;
    }
    if (s.size() - i <= n) return false;
    for (size_t k = 1; k <= n; ++k) {
      unsigned char t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n + 1;
  }
  return true;
}

// Response header bytes as text: UTF-8 where they are UTF-8, else (a GBK cookie value, a
// Latin-1 header) the program's code page, line by line, so that such bytes come back as they
// were sent instead of as replacement characters. Line ends are kept out of the conversion, so
// that a stray lead byte at the end of a value cannot take the CR with it.
std::u16string HeaderText(std::string_view bytes) {
  if (IsUtf8(bytes)) return Utf16(bytes);
  std::u16string out;
  while (!bytes.empty()) {
    size_t end = bytes.find('\n');
    std::string_view line = bytes.substr(0, end);
    std::string_view rest = end == std::string_view::npos ? std::string_view() : bytes.substr(end + 1);
    bool crlf = !line.empty() && line.back() == '\r';
    if (crlf) line.remove_suffix(1);
    out += platform::ToUtf16(IsUtf8(line) ? kCodePageUtf8 : kCodePageAnsi, line);
    if (crlf) out += u'\r';
    if (end != std::string_view::npos) out += u'\n';
    bytes = rest;
  }
  return out;
}

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
        async_ = args.Has(2) && args.Bool(2);
        sent_ = false;
        openedUrl_ = Utf8Arg(args, 1);
        return engine_.Open(Utf8Arg(args, 0), openedUrl_) ? S_OK : DISP_E_EXCEPTION;
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
        return ReturnText(HeaderText(engine_.AllResponseHeaders()), result);
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
        if (result) *result = MakeBstrVariant(HeaderText(*value));
        return S_OK;
      }
      case kStatusText:
        return ReturnText(HeaderText(engine_.statusText()), result);
      case kWaitForResponse:
        return WaitForResponse(args, result);
      case kAbort:
        engine_.Abort();
        return S_OK;
      case kSetCookieLines:
        engine_.SetCookieLines(Utf8Arg(args, 0));
        return S_OK;
      case kFailure:
        if (result) *result = MakeI4Variant(static_cast<int32_t>(engine_.failure()));
        return S_OK;
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
      case kOptionUserAgent:
        *result = MakeBstrVariant(Utf16(engine_.userAgent()));
        return S_OK;
      case kOptionUrl:
        // The address after the redirects followed; before a response, the opened one.
        *result = MakeBstrVariant(Utf16(engine_.hasResponse() ? engine_.effectiveUrl() : openedUrl_));
        return S_OK;
      case kOptionSslErrorIgnoreFlags:
        *result = MakeI4Variant(static_cast<int32_t>(engine_.certificateErrorMask()));
        return S_OK;
      case kOptionEnableRedirects:
        *result = MakeBoolVariant(engine_.followRedirects());
        return S_OK;
      case kOptionEnableHttpsToHttpRedirects:
        *result = MakeBoolVariant(engine_.allowHttpsToHttpRedirects());
        return S_OK;
      default:
        return DISP_E_EXCEPTION;  // an option this object does not support
    }
  }

  HRESULT SetOption(int32_t index, const VARIANT& value) {
    VARIANT v;
    VariantInit(&v);
    switch (index) {
      case kOptionUserAgent: {
        if (Failed(VariantChangeType(&v, &value, 0, VT_BSTR))) return DISP_E_EXCEPTION;
        std::string agent = Utf8(BstrView(v.bstrVal));
        VariantClear(&v);
        // A line break would end the header line early.
        if (agent.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) return DISP_E_EXCEPTION;
        engine_.SetUserAgent(agent);
        return S_OK;
      }
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
      case kOptionEnableHttpsToHttpRedirects:
        if (Failed(VariantChangeType(&v, &value, 0, VT_BOOL))) return DISP_E_EXCEPTION;
        engine_.SetAllowHttpsToHttpRedirects(v.boolVal != 0);
        return S_OK;
      default:
        return DISP_E_EXCEPTION;  // read-only (the address) or not supported
    }
  }

  // Seconds, fractions allowed; omitted or -1: no limit. Raises the request's failure, as a
  // synchronous Send does.
  HRESULT WaitForResponse(InvokeArgs& args, VARIANT* result) {
    double seconds = args.Has(0) ? args.Number(0) : -1;
    int timeoutMs = -1;
    if (seconds >= 0) timeoutMs = seconds * 1000 >= INT32_MAX ? INT32_MAX : static_cast<int>(seconds * 1000);
    bool ended = engine_.Wait(timeoutMs);
    if (ended && sent_ && !engine_.hasResponse()) return DISP_E_EXCEPTION;
    if (result) *result = MakeBoolVariant(ended);
    return S_OK;
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
    sent_ = false;
    if (async_) {
      if (!engine_.Start(body)) return DISP_E_EXCEPTION;
      sent_ = true;
      return S_OK;
    }
    return engine_.Send(body) ? S_OK : DISP_E_EXCEPTION;
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
  bool async_ = false;  // Open's third argument
  bool sent_ = false;   // an asynchronous Send started the engine's request
  std::string openedUrl_;
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
          Method(kWaitForResponse, "WaitForResponse", VT_BOOL,
                 {Param(VT_VARIANT, PARAMFLAG_FIN | PARAMFLAG_FOPT)}),
          Method(kAbort, "Abort", VT_EMPTY),
          PropertyGet(kFailure, "Failure", VT_I4),
          Method(kSetCookieLines, "SetCookieLines", VT_EMPTY, {Param(VT_BSTR)}),
      });
  return *type;
}

IUnknown* NewWinHttpRequest() { return NewObject<WinHttpRequest>(); }

void RegisterWinHttpRequestClass() {
  AddBuiltinClass(kWinHttpRequestProgId, kWinHttpRequestClsid, &NewWinHttpRequest);
}

}  // namespace platform::http
