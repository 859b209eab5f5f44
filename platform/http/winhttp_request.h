// The request automation object "WinHttp.WinHttpRequest.5.1" over the HTTP engine: time-outs,
// proxy, open, options, request headers, a send that is synchronous or (Open's third argument
// true) returns at once, WaitForResponse and Abort, and the response's body, header block,
// status and status text.
//
// A synchronous Send returns when the response is complete, handling the program's events
// meanwhile when it runs on the GUI thread. After an asynchronous Send, WaitForResponse(seconds)
// (omitted or -1: no limit) tells whether the response is complete; the response members then
// read as after a synchronous Send.
// Beyond the platform object's members, the read-only property Failure tells what ended the
// last request without a response (a RequestFailure number; 0 once a response has arrived),
// and SetCookieLines(text) hands the engine Netscape cookie lines for its cookie store.
// Header bytes that are not UTF-8 are read in the program's code page (936).
//
// Members fail with DISP_E_EXCEPTION as the platform object raises its errors: a refused
// address or header, a failed send (for an asynchronous one: raised by WaitForResponse), an
// option the object does not support or that is read-only, and reading the response when
// there is none.
// Ownership: the object owns its engine; it lives as long as its last reference.
// Thread contract: one thread at a time per object (apartment rules); COM is initialised on
// the thread that creates it. A synchronous Send or WaitForResponse on the GUI thread may run
// other routines of the program before it returns.
#ifndef PLATFORM_HTTP_WINHTTP_REQUEST_H_
#define PLATFORM_HTTP_WINHTTP_REQUEST_H_

#include "platform/com/automation.h"

namespace platform::http {

inline constexpr char kWinHttpRequestProgId[] = "WinHttp.WinHttpRequest.5.1";
extern const com::CLSID kWinHttpRequestClsid;

// Option indexes and SetProxy settings of the object.
inline constexpr int32_t kOptionUserAgent = 0;
inline constexpr int32_t kOptionUrl = 1;  // read-only: the address after redirects
inline constexpr int32_t kOptionSslErrorIgnoreFlags = 4;
inline constexpr int32_t kOptionEnableRedirects = 6;
inline constexpr int32_t kOptionEnableHttpsToHttpRedirects = 12;  // off by default
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
