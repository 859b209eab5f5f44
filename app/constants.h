// The program's fixed addresses, kept in one place.
//
// Thread contract: immutable.
#ifndef APP_CONSTANTS_H_
#define APP_CONSTANTS_H_

namespace app {

// Scheme and host of the question-and-answer site the sample address points at.
inline constexpr const char kSiteBase[] = "https://www.videolens-demo.test";
// Path of the sample answer page that 编辑框2 holds when the main window opens.
inline constexpr const char kSamplePath[] = "/question/302671861/answer/635261079";

}  // namespace app

#endif  // APP_CONSTANTS_H_
