// The request automation object "WinHttp.WinHttpRequest.5.1" over the HTTP engine: time-outs,
// proxy, open, options (4: certificate-error mask, 6: redirects), request headers, a
// synchronous send, and the response's body, header block, status and status text.
//
// Members fail with DISP_E_EXCEPTION as the platform object raises its errors: a refused
// address or header, a failed send, and reading the response when there is none.
// Ownership: the object owns its engine; it lives as long as its last reference.
// Thread contract: one thread at a time per object (apartment rules); COM is initialised on
// the thread that creates it.
#ifndef PLATFORM_HTTP_WINHTTP_REQUEST_H_
#define PLATFORM_HTTP_WINHTTP_REQUEST_H_

#include "platform/com/automation.h"

namespace platform::http {

inline constexpr char kWinHttpRequestProgId[] = "WinHttp.WinHttpRequest.5.1";
extern const com::CLSID kWinHttpRequestClsid;

// Option indexes and SetProxy settings of the object.
inline constexpr int32_t kOptionUserAgent = 0;
inline constexpr int32_t kOptionSslErrorIgnoreFlags = 4;
inline constexpr int32_t kOptionEnableRedirects = 6;
inline constexpr int32_t kProxySettingDefault = 0;
inline constexpr int32_t kProxySettingDirect = 1;
inline constexpr int32_t kProxySettingProxy = 2;

// The object's type information (member names, kinds and parameters), shared with stand-ins
// that tests register under the same name.
const com::TypeInfo& WinHttpRequestType();

// A new request object with one reference held by the caller.
com::IUnknown* NewWinHttpRequest();

// Adds the class to the built-in classes that the COM registry registers.
void RegisterWinHttpRequestClass();

}  // namespace platform::http

#endif  // PLATFORM_HTTP_WINHTTP_REQUEST_H_
