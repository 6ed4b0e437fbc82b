#pragma once

#include "admin/CommandRequest.h"

#include <QObject>

#include <optional>
#include <vector>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace vorlanx::service {
class VorlanxService;
}

namespace vorlanx::shell {

class AppendBox;
class BasicPage;
class PeriodPage;
class ServiceBridge;
class StatusPanels;
class WhitelistPage;

// The administration buttons and the two white-list downloads. A click reads the controls once, hands the values to the
// service, shows at once what the command shows (caption, cleared result box, message box) and
// keeps the administration buttons disabled until the service reports the command's end, so that
// one command never runs inside another. The frames go out on the service's runner; the window
// stays live meanwhile.
class AdminCommands : public QObject {
public:
    struct Controls {
        BasicPage* basic;
        PeriodPage* periods;
        WhitelistPage* whitelist;
        QLineEdit* sendAddress;
        QLineEdit* sendPort;
        QLineEdit* sendMachine;
        QTreeWidget* terminalList;
        QGroupBox* resultGroup;
        AppendBox* results;
        QLabel* successCount;
        StatusPanels* status;
    };

    AdminCommands(service::VorlanxService& service, ServiceBridge& bridge, Controls controls, QObject* parent);

    // The service's report that the running command has ended; on the UI thread.
    void commandFinished(bool completed, const std::optional<QString>& statusText);
    bool running() const { return m_running; }

private:
    void wire(QPushButton* button, admin::CommandKind kind, admin::Shape shape);
    void run(admin::CommandKind kind, admin::Shape shape);
    admin::CommandRequest readControls(admin::CommandKind kind, admin::Shape shape) const;
    void setButtonsEnabled(bool enabled);

    service::VorlanxService& m_service;
    ServiceBridge& m_bridge;
    Controls m_controls;
    std::vector<QPushButton*> m_buttons;
    bool m_running = false;
};

} // namespace vorlanx::shell
