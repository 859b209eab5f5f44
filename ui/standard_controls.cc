// The control types of the window system's backend: the one list of them, kept apart from the
// registry so that each window system backend fills its own.
#include "ui/control.h"
#include "ui/grid_control.h"
#include "ui/kernel_controls.h"

namespace ui {

void RegisterStandardControlTypes() {
  RegisterKernelControls();
  RegisterGridAndListControls();
  // Further libraries register their control types here.
}

}  // namespace ui
