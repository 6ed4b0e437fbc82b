#pragma once

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace vorlanx::shell {

// Tab page "数据配置": the terminal list that all-terminal commands walk, and the database
// settings group.
class DataConfigPage : public QWidget {
public:
    explicit DataConfigPage(QWidget* parent);

    QTreeWidget* terminals;
    QLineEdit* serverAddress;
    QLineEdit* databaseName;
    QLineEdit* user;
    QLineEdit* password;
    QCheckBox* useSqlServer;
    QPushButton* save;
};

} // namespace vorlanx::shell
