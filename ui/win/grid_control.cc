// The Windows build's grid and list view units: the list view (list_view_control.cc). The
// grid's control type is not registered here yet, so a grid unit loads as a blank unit.
#include "ui/grid_control.h"

#include "runtime/libraries.h"
#include "ui/list_view_control.h"

namespace ui {

void RegisterGridAndListControls() {
  RegisterControlType({rt::kTypeListView, rt::kLibraryExtended, true, CheckTypeData<ListViewTypeData>,
                       CreateListViewControl});
}

}  // namespace ui
