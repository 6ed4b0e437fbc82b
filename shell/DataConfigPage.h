#pragma once

#include <QWidget>

class QTreeWidget;

namespace vorlanx::shell {

class DatabaseSettingsGroup;
class StatusPanels;
struct ServiceContext;

// Tab page "数据配置": the terminal list that all-terminal commands walk, and the database
// settings group.
class DataConfigPage : public QWidget {
public:
    DataConfigPage(ServiceContext& context, StatusPanels& status, QWidget* parent);

    QTreeWidget* terminals;
    DatabaseSettingsGroup* database;
};

} // namespace vorlanx::shell
