#pragma once

#include "config/ConnectionSettings.h"

#include <QGroupBox>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace vorlanx::shell {

// The database settings group: server address, database name, user and password, and which
// database the service uses: SQL Server ("MSSQL库"), the built-in database file ("内置库", its
// file named by the database name box), or neither.
// What the start-up load and the save do is the presenter's.
class DatabaseSettingsGroup : public QGroupBox {
public:
    explicit DatabaseSettingsGroup(QWidget* parent);

    void show(const config::ConnectionSettings& settings);
    config::ConnectionSettings settings() const;

    QPushButton* saveButton() const { return m_save; }
    // The save is refused while a connect runs on the service's worker.
    bool connecting() const;

private:
    QLineEdit* m_server;
    QLineEdit* m_name;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QCheckBox* m_sqlServer;
    QCheckBox* m_builtin;
    QPushButton* m_save;
};

} // namespace vorlanx::shell
