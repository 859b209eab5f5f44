// The Windows build's grid and list view units: the grid (grid_unit.cc) and the list view
// (list_view_control.cc).
#include "ui/grid_control.h"

#include "runtime/libraries.h"
#include "ui/grid_unit.h"
#include "ui/list_view_control.h"

namespace ui {

void RegisterGridAndListControls() {
  RegisterControlType(
      {rt::kTypeGrid, rt::kLibraryGrid, true, CheckTypeData<GridTypeData>, CreateGridControl});
  RegisterControlType({rt::kTypeListView, rt::kLibraryExtended, true, CheckTypeData<ListViewTypeData>,
                       CreateListViewControl});
}

}  // namespace ui
