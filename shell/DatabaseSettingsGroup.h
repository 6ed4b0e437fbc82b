#pragma once

#include "config/ConnectionSettings.h"

#include <QGroupBox>

#include <functional>
#include <optional>
#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace vorlanx::service {
class VorlanxService;
}

namespace vorlanx::shell {

class StatusPanels;

// The database settings group: server address, database name, user and password, and which
// database the service uses: SQL Server ("MSSQL库"), the built-in database file ("内置库", its
// file named by the database name box), or neither.
//
// It also starts the two flows of these settings: the start-up load and connect, and the save.
// The service connects on its own worker (a login may take its whole time-out); the outcome comes
// back through the window's bridge and is applied here on the UI thread.
class DatabaseSettingsGroup : public QGroupBox {
public:
    struct Hooks {
        std::function<std::string()> machineText; // of the send fields, for the personnel load
        std::function<void()> restart;            // after a save of working settings
    };

    DatabaseSettingsGroup(service::VorlanxService& service, StatusPanels& status, QWidget* parent);

    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }

    void show(const config::ConnectionSettings& settings);
    config::ConnectionSettings settings() const;

    // Start-up: fill the group from conf.ini and connect when it selects a database.
    void loadAtStartup();
    // The click of the save button.
    void saveSettings();
    // True while a connect runs on the service's worker.
    bool connecting() const { return m_connecting; }

    // The outcomes of the connects, on the UI thread.
    void startupConnectFinished(bool connected, const std::optional<QString>& statusText);
    void databaseSaveFinished(const std::optional<QString>& message, bool restart);

private:
    void setConnecting(bool connecting);
    void showMessage(const QString& text);

    service::VorlanxService& m_service;
    StatusPanels& m_status;
    Hooks m_hooks;
    bool m_connecting = false;

    QLineEdit* m_server;
    QLineEdit* m_name;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QCheckBox* m_sqlServer;
    QCheckBox* m_builtin;
    QPushButton* m_save;
};

} // namespace vorlanx::shell
