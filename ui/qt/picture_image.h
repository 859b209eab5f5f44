// The toolkit's image of a decoded picture (platform/picture/picture_loader.h): the window
// system's side of the toolkit-free picture type.
//
// Thread contract: keeps no state; any thread.
#ifndef UI_QT_PICTURE_IMAGE_H_
#define UI_QT_PICTURE_IMAGE_H_

#include <QImage>

#include "platform/picture/picture_loader.h"

namespace ui {

// A null image for a null picture. The pixels are copied: the image owns its own.
QImage ToImage(const platform::Picture& picture);

}  // namespace ui

#endif  // UI_QT_PICTURE_IMAGE_H_
