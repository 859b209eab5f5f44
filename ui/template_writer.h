// Serialises window templates into the exact bytes of the window data, the form the runtime
// reads at start. The application describes its windows with the structures of
// window_template.h (and each control type's type-data encoder) and builds its data here.
//
// Ownership: the caller owns the bytes returned. Thread contract: none.
#ifndef UI_TEMPLATE_WRITER_H_
#define UI_TEMPLATE_WRITER_H_

#include <vector>

#include "ui/window_template.h"

namespace ui {

// The bytes of the window data. Unit offsets and lengths are computed; every other field is
// written as the description holds it, so ParseWindowData(SerializeWindowData(d)) == d.
std::vector<unsigned char> SerializeWindowData(const WindowData& data);

}  // namespace ui

#endif  // UI_TEMPLATE_WRITER_H_
