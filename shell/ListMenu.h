#pragma once

#include <QMenu>

class QAction;
class QTreeWidget;

namespace vorlanx::shell {

// A pop-up menu that belongs to one list: a right click anywhere in the list pops it up at the
// mouse. A click below the last row leaves no row selected, and the item that needs a selected
// row is then disabled; the other items stay enabled.
class ListMenu : public QMenu {
public:
    ListMenu(const QString& title, QTreeWidget* list, QWidget* parent);

    // Adds an item; a selection-dependent item is enabled only while a row is selected.
    QAction* addItem(const QString& text, bool needsSelection);

    // What a right click at pos (viewport coordinates) does before the menu shows.
    void prepareAt(const QPoint& pos);

    // Index of the selected row, or -1.
    static int selectedRow(const QTreeWidget* list);

private:
    QTreeWidget* m_list;
    QList<QAction*> m_selectionItems;
};

} // namespace vorlanx::shell
