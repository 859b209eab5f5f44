#include "ui/context_menu.h"

#include <QMenu>
#include <QPointer>
#include <QTimer>

#include "ui/grid_widget.h"
#include "ui/list_view_widget.h"
#include "ui/qt_text.h"
#include "ui/window_manager.h"

namespace ui {

QMenu* PopUpMenu(QWidget* owner, const std::vector<MenuEntry>& entries, const QPoint& globalPos) {
  auto* menu = new QMenu(owner);  // deleted once closed
  menu->setAttribute(Qt::WA_DeleteOnClose);
  for (const MenuEntry& entry : entries) {
    if (entry.caption.empty()) {
      menu->addSeparator();
      continue;
    }
    QAction* action = menu->addAction(ToQString(entry.caption));
    action->setEnabled(entry.enabled);
    QPointer<QWidget> guard(owner);
    std::function<void()> run = entry.action;
    QObject::connect(action, &QAction::triggered, owner, [guard, run] {
      if (!run) return;
      QTimer::singleShot(0, guard.data(), [guard, run] {
        if (guard) run();
      });
    });
  }
  menu->popup(globalPos);
  return menu;
}

bool SetContextMenuProvider(int32_t windowId, int32_t unitId, MenuProvider provider) {
  Control* control = FindLiveControl(windowId, unitId);
  QWidget* widget = control ? control->widget() : nullptr;
  if (auto* list = dynamic_cast<ListViewWidget*>(widget)) {
    list->setContextMenuProvider(std::move(provider));
    return true;
  }
  if (auto* grid = dynamic_cast<GridWidget*>(widget)) {
    grid->setContextMenuProvider(std::move(provider));
    return true;
  }
  return false;
}

}  // namespace ui
