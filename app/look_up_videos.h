// The lookup routine: fills the result grid with the videos of the question page whose
// address stands in 编辑框2, and the window's caption with the question's title.
//
// Thread contract: GUI thread only; runs inside the click event of 按钮1.
#ifndef APP_LOOK_UP_VIDEOS_H_
#define APP_LOOK_UP_VIDEOS_H_

#include <cstdint>

namespace app {

// The event routine bound to 按钮1's click. The lookup keeps the window alive while its
// requests run (see VideoLookup); a click on 按钮1 that arrives meanwhile stops it instead of
// starting a second one, and closing the main window ends it at once.
int64_t LookUpVideos(int32_t argCount, const int64_t* args, int32_t* resultGiven);

}  // namespace app

#endif  // APP_LOOK_UP_VIDEOS_H_
