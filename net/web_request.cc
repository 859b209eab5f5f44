#include "net/web_request.h"

#include <algorithm>
#include <climits>
#include <memory>

#include "net/cookies.h"
#include "net/headers.h"
#include "net/text_pieces.h"
#include "runtime/dll_commands.h"

namespace net {
namespace {

constexpr const char* kMethods[] = {"GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE", "TRACE", "CONNECT"};
constexpr int32_t kOptionEnableRedirects = 6;
constexpr int32_t kOptionSslErrorIgnoreFlags = 4;
constexpr int32_t kProxySettingProxy = 2;

void CoInitialize() { rt::CallDll<rt::CoInitializeFn>(rt::kDllCoInitialize, nullptr); }
void CoUninitialize() { rt::CallDll<rt::CoUninitializeFn>(rt::kDllCoUninitialize); }

}  // namespace

struct PendingWebRequest::State {
  rt::com::ComObject request;
  bool created = false;  // false: the object could not be created; nothing was sent
  bool async = false;
  bool cookiesGiven = false;
  bool merge = true;
  rt::Text* cookies = nullptr;
  rt::Text* returnedCookies = nullptr;
  rt::Text* returnedHeaders = nullptr;
  int32_t* status = nullptr;
  bool ended = false;  // COM left and the object released

  State() = default;
  State(const State&) = delete;
  State& operator=(const State&) = delete;
  // An unfinished request is aborted: its transfer ends now, not at its time-out.
  ~State() {
    if (ended) return;
    if (created && async) rt::com::Call(request, "Abort");
    End();
  }
  // Step 18's release: the routine's reference, then COM.
  void End() {
    if (created) rt::com::Clear(request);
    CoUninitialize();
    ended = true;
  }
};

PendingWebRequest::PendingWebRequest() = default;
PendingWebRequest::PendingWebRequest(std::unique_ptr<State> state) : state_(std::move(state)) {}
PendingWebRequest::PendingWebRequest(PendingWebRequest&&) noexcept = default;
PendingWebRequest& PendingWebRequest::operator=(PendingWebRequest&&) noexcept = default;
PendingWebRequest::~PendingWebRequest() = default;

bool PendingWebRequest::Wait(double timeoutSeconds) {
  if (!state_ || !state_->created || !state_->async) return true;
  double complete = rt::com::CallNumber(state_->request, "WaitForResponse", {rt::DoubleArg(timeoutSeconds)});
  // A failed transfer raises its error here: it is over as well.
  return complete != 0 || rt::com::LastError() != 0;
}

void PendingWebRequest::Abort() {
  if (state_ && state_->created && state_->async) rt::com::Call(state_->request, "Abort");
}

namespace {

// Steps 1 to 13. `async`: Open's third argument, so that Send returns at once.
PendingWebRequest StartRequest(
    bool async, kernel::TextRef url, std::optional<int32_t> method, std::optional<kernel::TextRef> postText,
    rt::Text* cookies, rt::Text* returnedCookies, rt::Text* headers, rt::Text* returnedHeaders,
    int32_t* status, std::optional<bool> noRedirect, std::optional<kernel::BytesRef> postBytes,
    std::optional<kernel::TextRef> proxy, std::optional<int32_t> timeoutSeconds,
    std::optional<kernel::TextRef> proxyUser, std::optional<kernel::TextRef> proxyPassword,
    std::optional<int32_t> proxyAuthMode, rt::com::ComObject* requestObject, std::optional<bool> mergeCookies,
    std::optional<bool> addDefaultHeaders, std::optional<kernel::TextRef> cookieLines) {
  auto state = std::make_unique<PendingWebRequest::State>();
  // Omitted parameters read as their empty values; an omitted headers variable is a local.
  state->cookiesGiven = cookies != nullptr;
  state->cookies = cookies;
  state->returnedCookies = returnedCookies;
  state->returnedHeaders = returnedHeaders;
  state->status = status;
  state->merge = mergeCookies.value_or(true);
  state->async = async;
  rt::Text localHeaders;
  if (!headers) headers = &localHeaders;
  const kernel::TextRef postTextValue = postText.value_or(kernel::TextRef(""));
  const kernel::BytesRef postBytesValue = postBytes.value_or(kernel::BytesRef(nullptr));
  const kernel::TextRef proxyValue = proxy.value_or(kernel::TextRef(""));
  const kernel::TextRef proxyUserValue = proxyUser.value_or(kernel::TextRef(""));
  const kernel::TextRef proxyPasswordValue = proxyPassword.value_or(kernel::TextRef(""));
  const int32_t timeout = timeoutSeconds.value_or(0);
  const int32_t authMode = proxyAuthMode.value_or(1);
  const bool addDefaults = addDefaultHeaders.value_or(true);
  rt::com::ComObject& request = state->request;

  // 1. COM on this thread.
  CoInitialize();
  // 2. The method text.
  int32_t m = method.value_or(0);
  if (m < 0 || m > 7) m = 0;
  const char* methodText = kMethods[m];
  // 3. The request object: a second holder of the caller's, or a new one.
  if (requestObject != nullptr) {
    rt::com::Copy(request, *requestObject);
  } else if (!rt::com::Create(request, kRequestProgId)) {
    return PendingWebRequest(std::move(state));  // nothing sent; Finish returns at once
  }
  state->created = true;
  // 4. Time-outs for all four phases.
  if (timeout != -1) {
    // Computed in 64 bits: a time-out too long for 32-bit milliseconds becomes the longest one.
    int64_t ms = timeout < 1 ? kDefaultTimeoutMs : std::min<int64_t>(int64_t{timeout} * 1000, INT32_MAX);
    rt::com::Call(request, "SetTimeouts",
                  {rt::IntArg(static_cast<int32_t>(ms)), rt::IntArg(static_cast<int32_t>(ms)),
                   rt::IntArg(static_cast<int32_t>(ms)), rt::IntArg(static_cast<int32_t>(ms))});
  }
  // 5. A named proxy, without a bypass list.
  const bool proxyGiven = proxyValue.p[0] != '\0';
  if (proxyGiven) rt::com::Call(request, "SetProxy", {rt::IntArg(kProxySettingProxy), proxyValue.arg()});
  // 6. Open.
  rt::com::Call(request, "Open", {rt::TextArg(methodText), url.arg(), rt::BoolArg(async)});
  // 7, 8. Redirects off on request; certificate errors of the site ignored.
  if (noRedirect.value_or(false)) {
    rt::com::SetProperty(request, "Option", {rt::IntArg(kOptionEnableRedirects), rt::IntArg(0)});
  }
  rt::com::SetProperty(request, "Option",
                       {rt::IntArg(kOptionSslErrorIgnoreFlags), rt::IntArg(kIgnoreCertificateErrors)});
  // 9. The header block, completed and normalised, back into the caller's variable.
  if (addDefaults) AddDefaultHeaders(*headers, url, m);
  *headers = NormalizeHeaders(*headers);
  // 10. Proxy credentials.
  if (proxyGiven && proxyUserValue.p[0] != '\0' && authMode == 1) {
    rt::Text credentials = Concat({proxyUserValue, ":", proxyPasswordValue});
    rt::Text value = Concat({"Basic ", Base64Encode(kernel::ToByteSet(credentials))});
    rt::com::Call(request, "SetRequestHeader", {rt::TextArg("Proxy-Authorization"), rt::TextArg(value)});
  }
  // 11. The caller's cookies, also when empty.
  if (state->cookiesGiven)
    rt::com::Call(request, "SetRequestHeader", {rt::TextArg("Cookie"), rt::TextArg(*cookies)});
  // 12. The header lines.
  SendHeaderLines(request, *headers);
  // The user's login, for the cookie store's own matching.
  if (cookieLines && cookieLines->p[0] != '\0')
    rt::com::Call(request, "SetCookieLines", {cookieLines->arg()});
  // 13. Send the bytes in a Variant, or the text.
  if (rt::ByteSetLength(postBytesValue.p) > 0) {
    rt::com::Variant body;
    rt::com::Assign(body, postBytesValue.arg());
    rt::com::Call(request, "Send", {body.Arg()});
  } else {
    rt::com::Call(request, "Send", {postTextValue.arg()});
  }
  return PendingWebRequest(std::move(state));
}

}  // namespace

PendingWebRequest StartWebRequest(
    kernel::TextRef url, std::optional<int32_t> method, std::optional<kernel::TextRef> postText,
    rt::Text* cookies, rt::Text* returnedCookies, rt::Text* headers, rt::Text* returnedHeaders,
    int32_t* status, std::optional<bool> noRedirect, std::optional<kernel::BytesRef> postBytes,
    std::optional<kernel::TextRef> proxy, std::optional<int32_t> timeoutSeconds,
    std::optional<kernel::TextRef> proxyUser, std::optional<kernel::TextRef> proxyPassword,
    std::optional<int32_t> proxyAuthMode, rt::com::ComObject* requestObject, std::optional<bool> mergeCookies,
    std::optional<bool> addDefaultHeaders, std::optional<kernel::TextRef> cookieLines) {
  return StartRequest(true, url, method, postText, cookies, returnedCookies, headers, returnedHeaders, status,
                      noRedirect, postBytes, proxy, timeoutSeconds, proxyUser, proxyPassword, proxyAuthMode,
                      requestObject, mergeCookies, addDefaultHeaders, cookieLines);
}

rt::ByteSet FinishWebRequest(PendingWebRequest& pending, RequestFailure* failure) {
  std::unique_ptr<PendingWebRequest::State> state = std::move(pending.state_);
  if (!state) return rt::ByteSet();
  if (failure) *failure = RequestFailure::kOther;
  if (!state->created) {
    // The object could not be created: the outputs stay as they were.
    state->End();
    return rt::ByteSet();
  }
  rt::com::ComObject& request = state->request;
  // The asynchronous send's response; without a limit, the request's own time-outs apply.
  if (state->async) rt::com::CallNumber(request, "WaitForResponse");
  // Omitted outputs go to locals.
  rt::Text localCookies, localReturnedCookies, localReturnedHeaders;
  int32_t localStatus = 0;
  rt::Text* cookies = state->cookies ? state->cookies : &localCookies;
  rt::Text* returnedCookies = state->returnedCookies ? state->returnedCookies : &localReturnedCookies;
  rt::Text* returnedHeaders = state->returnedHeaders ? state->returnedHeaders : &localReturnedHeaders;
  int32_t* status = state->status ? state->status : &localStatus;
  // 14. The body.
  rt::ByteSet result;
  {
    rt::com::Variant body = rt::com::GetVariant(request, "ResponseBody");
    result = rt::com::ToBytes(body);
    rt::com::Clear(body);
  }
  // 15, 16. Headers and status.
  *returnedHeaders = rt::com::GetText(request, "GetAllResponseHeaders");
  *status = static_cast<int32_t>(rt::TruncToInteger(rt::com::GetNumber(request, "Status")));
  // 17. Cookies the response set, merged into the caller's when asked.
  *returnedCookies = ExtractSetCookies(*returnedHeaders);
  if (state->merge && state->cookiesGiven) *returnedCookies = MergeCookies(*cookies, *returnedCookies);
  // What ended it, asked only by a caller that wants to know: other callers see the object
  // called exactly as before.
  if (failure) {
    *failure = static_cast<RequestFailure>(
        static_cast<int32_t>(rt::TruncToInteger(rt::com::GetNumber(request, "Failure"))));
  }
  // 18. Release the routine's reference, leave COM, return a copy of the body.
  state->End();
  return result;
}

rt::ByteSet WebRequest(kernel::TextRef url, std::optional<int32_t> method,
                       std::optional<kernel::TextRef> postText, rt::Text* cookies, rt::Text* returnedCookies,
                       rt::Text* headers, rt::Text* returnedHeaders, int32_t* status,
                       std::optional<bool> noRedirect, std::optional<kernel::BytesRef> postBytes,
                       std::optional<kernel::TextRef> proxy, std::optional<int32_t> timeoutSeconds,
                       std::optional<kernel::TextRef> proxyUser, std::optional<kernel::TextRef> proxyPassword,
                       std::optional<int32_t> proxyAuthMode, rt::com::ComObject* requestObject,
                       std::optional<bool> mergeCookies, std::optional<bool> addDefaultHeaders) {
  PendingWebRequest request =
      StartRequest(false, url, method, postText, cookies, returnedCookies, headers, returnedHeaders, status,
                   noRedirect, postBytes, proxy, timeoutSeconds, proxyUser, proxyPassword, proxyAuthMode,
                   requestObject, mergeCookies, addDefaultHeaders, std::nullopt);
  return FinishWebRequest(request);
}

}  // namespace net
