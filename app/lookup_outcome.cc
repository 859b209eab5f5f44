#include "app/lookup_outcome.h"

#include "app/constants.h"
#include "net/text_pieces.h"
#include "runtime/kernel.h"

namespace app {
namespace {

const char* FailureWords(net::RequestFailure failure) {
  using net::RequestFailure;
  switch (failure) {
    case RequestFailure::kNone:
      return kEmptyText;
    case RequestFailure::kBadAddress:
      return kBadAddressReason;
    case RequestFailure::kHostNotFound:
      return kHostNotFoundReason;
    case RequestFailure::kConnectFailed:
      return kConnectFailedReason;
    case RequestFailure::kProxyFailed:
      return kProxyFailedReason;
    case RequestFailure::kTlsFailed:
      return kTlsFailedReason;
    case RequestFailure::kConnectTimeout:
      return kConnectTimeoutReason;
    case RequestFailure::kSendTimeout:
      return kSendTimeoutReason;
    case RequestFailure::kReceiveTimeout:
      return kReceiveTimeoutReason;
    case RequestFailure::kConnectionLost:
      return kConnectionLostReason;
    case RequestFailure::kAborted:
    case RequestFailure::kOther:
      break;
  }
  return kOtherFailureReason;
}

const char* StatusWords(int32_t status) {
  if (IsRefusalStatus(status)) return kRefusedReason;
  if (status == 404) return kNotFoundReason;
  if (status == 429) return kTooManyRequestsReason;
  if (status >= 500 && status <= 599) return kServerErrorReason;
  return kOtherStatusReason;
}

}  // namespace

rt::Text RequestReason(net::RequestFailure failure, int32_t status) {
  // A request without a response reads status 0; one that never started has no failure either.
  if (failure != net::RequestFailure::kNone || status == 0) {
    return rt::Text(failure == net::RequestFailure::kNone ? kOtherFailureReason : FailureWords(failure));
  }
  if (IsSuccessStatus(status)) return rt::Text();
  return net::Concat({kStatusOpen, kernel::ToText(status), StatusWords(status)});
}

rt::Text PageReason(net::RequestFailure failure, int32_t status, bool titleFound, bool idsFound) {
  rt::Text reason = RequestReason(failure, status);
  if (!reason.empty() || idsFound) return reason;
  return rt::Text(titleFound ? kNoVideosReason : kNotQuestionReason);
}

rt::Text CaptionWithReason(const rt::Text& title, const rt::Text& reason) {
  if (reason.empty()) return rt::Text(title.c_str());
  if (title.empty()) return rt::Text(reason.c_str());
  return net::Concat({title, kReasonSeparator, reason});
}

}  // namespace app
