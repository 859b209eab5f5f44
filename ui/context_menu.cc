#include "ui/context_menu.h"

#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTimer>

#include "ui/qt/grid_widget.h"
#include "ui/list_view_widget.h"
#include "ui/qt_text.h"
#include "ui/window_manager.h"

namespace ui {

namespace {

void AddEntries(QMenu* menu, QWidget* owner, const std::vector<MenuEntry>& entries) {
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

// The edit's own menu, then the provider's entries.
template <typename Edit>
void AttachEditMenu(Edit* edit, QWidget* area, MenuProvider provider) {
  edit->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::disconnect(edit, &QWidget::customContextMenuRequested, nullptr, nullptr);
  QObject::connect(edit, &QWidget::customContextMenuRequested, edit,
                   [edit, area, provider](const QPoint& pos) {
                     QMenu* menu = edit->createStandardContextMenu();
                     menu->setAttribute(Qt::WA_DeleteOnClose);
                     const std::vector<MenuEntry> entries = provider(-1);
                     if (!entries.empty()) menu->addSeparator();
                     AddEntries(menu, edit, entries);
                     menu->popup(area->mapToGlobal(pos));
                   });
}

}  // namespace

QMenu* PopUpMenu(QWidget* owner, const std::vector<MenuEntry>& entries, const QPoint& globalPos) {
  auto* menu = new QMenu(owner);  // deleted once closed
  menu->setAttribute(Qt::WA_DeleteOnClose);
  AddEntries(menu, owner, entries);
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
  // A scroll area reports the point in its viewport's coordinates.
  if (auto* plain = dynamic_cast<QPlainTextEdit*>(widget)) {
    AttachEditMenu(plain, plain->viewport(), std::move(provider));
    return true;
  }
  if (auto* line = dynamic_cast<QLineEdit*>(widget)) {
    AttachEditMenu(line, line, std::move(provider));
    return true;
  }
  return false;
}

}  // namespace ui
