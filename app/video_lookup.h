// One run of the video lookup: the question page, then every video's description and cover
// with several requests in flight, and the grid rows filled in page order as their data arrive.
//
// The page comes first. Then the descriptions are sent ahead, at most kDescriptionsInFlight at
// a time (the request engine's limit of connections to one host), each cover is sent as soon as
// its description has been read, and the row of video k is put in its place among the rows of
// the page as soon as description k and cover k are in, while later ones are still on the way.
// Every occurrence of an id is fetched, so the servers see one page request, one description
// request per occurrence and one cover request per description, as a sequential lookup makes.
// Meanwhile the caption reads the question's title and " (k/n)", rows finished and found, and
// 按钮1 reads "停止"; at the end the caption is the title and the button "解析" again. A lookup
// that did not simply succeed (the page failed, had no videos or was no question page) ends
// with the reason after the title; each row whose description or cover failed keeps why in
// its tip.
//
// The user's login (see net::LoginCookies), read from its file when the lookup starts, goes
// with the page's request when the page is the site's and with every description request,
// never with a cover's.
// Ownership: a VideoLookup owns its requests, its JSON document and the videos' data; requests
// still on their way when it is destroyed are aborted.
// Thread contract: GUI thread only. Run waits with the program's events handled, so routines
// run inside it; the only one that may touch the lookup is the click on 按钮1, through Stop.
#ifndef APP_VIDEO_LOOKUP_H_
#define APP_VIDEO_LOOKUP_H_

#include <cstdint>
#include <vector>

#include "json/json_document.h"
#include "net/web_request.h"
#include "runtime/values.h"

namespace app {

// Descriptions on their way at once: the connections a browser, and the request engine, keep
// to one host.
inline constexpr int32_t kDescriptionsInFlight = 6;

class VideoLookup {
 public:
  VideoLookup();
  ~VideoLookup();
  VideoLookup(const VideoLookup&) = delete;
  VideoLookup& operator=(const VideoLookup&) = delete;

  // The whole lookup of the page whose address stands in 编辑框2. Returns when every row is in,
  // when Stop was called (the rows finished stay, the transfers still running are aborted) or
  // when the main window is being closed (nothing more of it is touched).
  void Run();
  // Asks the running lookup to stop at once.
  void Stop() { stopRequested_ = true; }
  // The page was refused with 401 or 403: the site may want a login.
  bool refused() const { return refused_; }

 private:
  // One occurrence of an id on the page: its description request, then its cover request.
  struct Video {
    int32_t number = 0;  // its place on the page, from 1: the grid row it fills
    rt::Text id;
    enum class Stage { kQueued, kDescription, kCover, kFilled } stage = Stage::kQueued;
    net::PendingWebRequest request;
    int32_t status = 0;  // the running request's, written by FinishWebRequest
    rt::Text title;
    rt::Text addresses;
    rt::ByteSet cover;
    bool coverAddressGiven = false;
    rt::Text reason;  // why the row lacks addresses or its cover; empty when it lacks nothing
  };

  // The main window is being closed: nothing more of it may be touched.
  static bool Closing();
  bool Cancelled() const;
  // Sends a GET with the fixed header line, which every request gets afresh: the request
  // writes its completed header block back, and a reused variable would send one address's
  // Referer with the next.
  // `status` receives the response's status once it is finished; `login`: the user's login
  // cookies go with it (null: none).
  static net::PendingWebRequest Send(const rt::Text& url, int32_t* status, const rt::Text* login);
  // Waits for the page, handling events; false when the lookup was cancelled meanwhile.
  bool FetchPage(const rt::Text& address, rt::ByteSet* body, net::RequestFailure* failure, int32_t* status);
  // Takes every response that has arrived, sends what can be sent now and fills the rows that
  // are complete. True when anything moved.
  bool Advance();
  void ReadDescription(Video& video, const rt::ByteSet& body, net::RequestFailure failure);
  static void AddReason(Video& video, const char* prefix, const rt::Text& words);
  void FillRow(Video& video);
  void ShowProgress();
  void SetCaption(const char* text);
  void SetButtonCaption(const char* text);

  json::类_JSON document_;
  std::vector<Video> videos_;
  size_t firstOpen_ = 0;   // the first video whose row is not in (all before it are)
  size_t nextToSend_ = 0;  // the first video whose description has not been sent
  int32_t descriptionsInFlight_ = 0;
  int32_t rowsFilled_ = 0;
  rt::Text title_;
  bool stopRequested_ = false;
  bool refused_ = false;
  rt::Text loginLines_;  // the user's login as Netscape cookie lines; empty: none
};

}  // namespace app

#endif  // APP_VIDEO_LOOKUP_H_
