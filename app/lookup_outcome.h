// The words for what ended a request or a lookup that did not simply succeed: a failure without
// a response, a status that is no success, a page without videos or one that is no question page.
//
// Thread contract: plain functions without state; GUI thread, as the kernel's text commands.
#ifndef APP_LOOKUP_OUTCOME_H_
#define APP_LOOKUP_OUTCOME_H_

#include <cstdint>

#include "net/web_request.h"
#include "runtime/values.h"

namespace app {

// A status that counts as an answer with content: 200 to 299.
inline bool IsSuccessStatus(int32_t status) { return status >= 200 && status <= 299; }
// The refusals that may want a login.
inline bool IsRefusalStatus(int32_t status) { return status == 401 || status == 403; }

// Why one request gave no usable answer: the failure's words when none arrived, else "HTTP "
// with the status and its words; empty when the answer is a success.
rt::Text RequestReason(net::RequestFailure failure, int32_t status);

// Why a lookup of a page ended without rows, or with rows but a failed page: the request's
// reason, else (a successful page) the words for no ids (a title found: no videos; neither
// title nor ids: no question page). Empty when the page gave ids.
rt::Text PageReason(net::RequestFailure failure, int32_t status, bool titleFound, bool idsFound);

// The caption at a lookup's end: the title, then the separator and the reason when there is
// one (the reason alone after an empty title).
rt::Text CaptionWithReason(const rt::Text& title, const rt::Text& reason);

}  // namespace app

#endif  // APP_LOOKUP_OUTCOME_H_
