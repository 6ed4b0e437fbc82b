#include "shell/ListMenu.h"

#include "shell/Widgets.h"

#include <QTreeWidget>

namespace vorlanx::shell {

ListMenu::ListMenu(const ui::Menu& menu, QTreeWidget* list, QWidget* parent)
    : QMenu(qText(menu.title), parent), m_list(list) {
    setObjectName(title());
    for (const ui::MenuItem& entry : menu.items) {
        QAction* action = addAction(qText(entry.text));
        if (entry.needsSelection)
            m_selectionItems << action;
        m_items.append({entry.command, action});
    }
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        prepareAt(pos);
        popup(m_list->viewport()->mapToGlobal(pos));
    });
}

QAction* ListMenu::item(ui::Command command) const {
    for (const auto& [c, action] : m_items) {
        if (c == command)
            return action;
    }
    return nullptr;
}

void ListMenu::prepareAt(const QPoint& pos) {
    if (!m_list->itemAt(pos)) {
        m_list->clearSelection();
        m_list->setCurrentItem(nullptr);
    }
    const bool selected = selectedRow(m_list) >= 0;
    for (QAction* action : std::as_const(m_selectionItems))
        action->setEnabled(selected);
}

int ListMenu::selectedRow(const QTreeWidget* list) {
    const auto items = list->selectedItems();
    return items.isEmpty() ? -1 : list->indexOfTopLevelItem(items.first());
}

} // namespace vorlanx::shell
