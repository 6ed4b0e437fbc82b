#include "shell/ListMenu.h"

#include <QTreeWidget>

namespace vorlanx::shell {

ListMenu::ListMenu(const QString& title, QTreeWidget* list, QWidget* parent) : QMenu(title, parent), m_list(list) {
    setObjectName(title);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        prepareAt(pos);
        popup(m_list->viewport()->mapToGlobal(pos));
    });
}

QAction* ListMenu::addItem(const QString& text, bool needsSelection) {
    QAction* action = addAction(text);
    if (needsSelection)
        m_selectionItems << action;
    return action;
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
