#pragma once

#include "config/ConnectionSettings.h"

#include <QGroupBox>

#include <functional>
#include <thread>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace vorlanx::shell {

class StatusPanels;
struct ServiceContext;

// The database settings group: server address, database name, user and password, and which
// database the service uses: SQL Server ("MSSQL库"), the built-in database file ("内置库", its
// file named by the database name box), or neither.
//
// It also runs the two flows of these settings: the start-up load and connect, and the save.
// Connects run on a worker thread (a login may take its whole time-out) and their outcome is
// applied on the UI thread, so the window stays painted meanwhile.
class DatabaseSettingsGroup : public QGroupBox {
public:
    struct Hooks {
        std::function<void()> connectedAtStartup; // the personnel list is loaded next
        std::function<void()> restart;            // after a save of working settings
    };

    DatabaseSettingsGroup(ServiceContext& context, StatusPanels& status, QWidget* parent);
    ~DatabaseSettingsGroup() override;

    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }

    void show(const config::ConnectionSettings& settings);
    config::ConnectionSettings settings() const;

    // Start-up: fill the group from conf.ini and connect when it selects a database.
    void loadAtStartup();
    // The click of the save button.
    void saveSettings();
    // True while a connect runs on the worker.
    bool connecting() const { return m_connecting; }

private:
    void connectInBackground(const config::ConnectionSettings& settings, std::function<void(bool)> done);
    void showMessage(const std::string& text);

    ServiceContext& m_context;
    StatusPanels& m_status;
    Hooks m_hooks;
    std::thread m_worker;
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
