#pragma once

#include <QObject>

#include <functional>

class QLineEdit;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace vorlanx::shell {

class ListMenu;

// The two terminal lists and the send fields: the online list fills itself from what is heard,
// "添加设备" copies it into the terminal list that all-terminal commands walk, and a click on an
// online row puts that terminal into the send fields for single-terminal commands.
class TerminalLists : public QObject {
public:
    struct Widgets {
        QTreeWidget* online;
        QTreeWidget* terminals;
        QLineEdit* address;
        QLineEdit* port;
        QLineEdit* machine;
        QTabWidget* pages;
    };

    // clearOnline empties the online list together with what the service has heard.
    TerminalLists(Widgets widgets, std::function<void()> clearOnline, QWidget* menuParent);

    void addDevices();
    void removeSelected();
    void removeAll();
    void copyToSendFields(const QTreeWidgetItem* row);

    ListMenu* deviceMenu() const { return m_deviceMenu; }
    ListMenu* paramMenu() const { return m_paramMenu; }

private:
    Widgets m_w;
    ListMenu* m_deviceMenu;
    ListMenu* m_paramMenu;
};

} // namespace vorlanx::shell
