#include "app/look_up_videos.h"

#include "app/login_dialog.h"
#include "app/video_lookup.h"

namespace app {
namespace {

// The running lookup, while there is one: the program runs one at a time.
class ActiveLookup {
 public:
  explicit ActiveLookup(VideoLookup* lookup) { running_ = lookup; }
  ~ActiveLookup() { running_ = nullptr; }
  ActiveLookup(const ActiveLookup&) = delete;
  ActiveLookup& operator=(const ActiveLookup&) = delete;
  static VideoLookup* running() { return running_; }

 private:
  static inline VideoLookup* running_ = nullptr;
};

}  // namespace

int64_t LookUpVideos(int32_t /*argCount*/, const int64_t* /*args*/, int32_t* /*resultGiven*/) {
  if (VideoLookup* running = ActiveLookup::running()) {
    running->Stop();  // the click on "停止"
    return 0;
  }
  VideoLookup lookup;
  {
    ActiveLookup active(&lookup);
    lookup.Run();
  }
  // A refusal may want a login: offered once the lookup is over, so that the question's wait
  // holds up nothing.
  if (lookup.refused()) OfferLogin();
  return 0;
}

}  // namespace app
