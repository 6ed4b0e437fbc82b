#include "shell/TerminalLists.h"

#include "shell/ListMenu.h"

#include <QLineEdit>
#include <QTabWidget>
#include <QTreeWidget>

namespace vorlanx::shell {

TerminalLists::TerminalLists(Widgets widgets, std::function<void()> clearOnline, QWidget* menuParent)
    : QObject(menuParent), m_w(widgets) {
    using ui::Command;
    m_deviceMenu = new ListMenu(ui::menu(ui::Id::DeviceMenu), m_w.online, menuParent);
    connect(m_deviceMenu->item(Command::AddDevices), &QAction::triggered, this, &TerminalLists::addDevices);
    connect(m_deviceMenu->item(Command::ClearOnlineList), &QAction::triggered, this,
            [clear = std::move(clearOnline)] { clear(); });

    m_paramMenu = new ListMenu(ui::menu(ui::Id::ParamMenu), m_w.terminals, menuParent);
    connect(m_paramMenu->item(Command::RemoveSelected), &QAction::triggered, this, &TerminalLists::removeSelected);
    connect(m_paramMenu->item(Command::RemoveAll), &QAction::triggered, this, &TerminalLists::removeAll);

    // A mouse click on a row only; selecting with the keyboard leaves the send fields alone.
    connect(m_w.online, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* row, int) { copyToSendFields(row); });
}

void TerminalLists::addDevices() {
    m_w.terminals->clear();
    m_w.pages->setCurrentIndex(static_cast<int>(ui::Page::DataConfig));
    for (int i = 0; i < m_w.online->topLevelItemCount(); ++i) {
        const auto* row = m_w.online->topLevelItem(i);
        new QTreeWidgetItem(m_w.terminals, {row->text(0), row->text(1), row->text(2)});
    }
    copyToSendFields(m_w.terminals->topLevelItem(0));
}

void TerminalLists::removeSelected() {
    const int row = ListMenu::selectedRow(m_w.terminals);
    if (row >= 0)
        delete m_w.terminals->takeTopLevelItem(row);
}

void TerminalLists::removeAll() {
    m_w.terminals->clear();
}

void TerminalLists::copyToSendFields(const QTreeWidgetItem* row) {
    m_w.address->setText(row ? row->text(0) : QString());
    m_w.port->setText(row ? row->text(1) : QString());
    m_w.machine->setText(row ? row->text(2) : QString());
}

} // namespace vorlanx::shell
