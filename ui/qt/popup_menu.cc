#include "ui/qt/popup_menu.h"

#include <QMenu>
#include <QPointer>
#include <QTimer>

#include "ui/qt/qt_text.h"

namespace ui {

void AddMenuEntries(QMenu* menu, QWidget* owner, const std::vector<MenuEntry>& entries) {
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
}

QMenu* PopUpMenu(QWidget* owner, const std::vector<MenuEntry>& entries, const QPoint& globalPos) {
  auto* menu = new QMenu(owner);  // deleted once closed
  menu->setAttribute(Qt::WA_DeleteOnClose);
  AddMenuEntries(menu, owner, entries);
  menu->popup(globalPos);
  return menu;
}

}  // namespace ui
