#pragma once

#include <QWidget>

class QTreeWidget;

namespace vorlanx::shell {

class DatabaseSettingsGroup;

// Tab page "数据配置": the terminal list that all-terminal commands walk, and the database
// settings group.
class DataConfigPage : public QWidget {
public:
    explicit DataConfigPage(QWidget* parent);

    QTreeWidget* terminals;
    DatabaseSettingsGroup* database;
};

} // namespace vorlanx::shell
