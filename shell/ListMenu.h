#pragma once

#include "ui/Controls.h"

#include <QMenu>

class QAction;
class QTreeWidget;

namespace vorlanx::shell {

// A pop-up menu that belongs to one list: a right click anywhere in the list pops it up at the
// mouse. A click below the last row leaves no row selected, and the item that needs a selected
// row is then disabled; the other items stay enabled.
class ListMenu : public QMenu {
public:
    // The menu of the window's description, with all its items.
    ListMenu(const ui::Menu& menu, QTreeWidget* list, QWidget* parent);

    // The item that runs command.
    QAction* item(ui::Command command) const;

    // What a right click at pos (viewport coordinates) does before the menu shows.
    void prepareAt(const QPoint& pos);

    // Index of the selected row, or -1.
    static int selectedRow(const QTreeWidget* list);

private:
    QTreeWidget* m_list;
    QList<QAction*> m_selectionItems;
    QList<std::pair<ui::Command, QAction*>> m_items;
};

} // namespace vorlanx::shell
