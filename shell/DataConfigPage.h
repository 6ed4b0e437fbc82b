#pragma once

#include <QWidget>

class QTreeWidget;

namespace vorlanx::service {
class VorlanxService;
}

namespace vorlanx::shell {

class DatabaseSettingsGroup;
class StatusPanels;

// Tab page "数据配置": the terminal list that all-terminal commands walk, and the database
// settings group.
class DataConfigPage : public QWidget {
public:
    DataConfigPage(service::VorlanxService& service, StatusPanels& status, QWidget* parent);

    QTreeWidget* terminals;
    DatabaseSettingsGroup* database;
};

} // namespace vorlanx::shell
