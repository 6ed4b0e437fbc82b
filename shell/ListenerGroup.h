#pragma once


#include <QGroupBox>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vorlanx::service {
class VorlanxService;
}

namespace vorlanx::shell {

class StatusPanels;

// The listener group: the port box, start and stop, the white-list count and the success
// count. Start opens the service's listener endpoint anew and binds it; stop closes it.
class ListenerGroup : public QGroupBox {
public:
    struct Hooks {
        std::function<void()> clearOnlineList; // runs first on every start
    };

    ListenerGroup(service::VorlanxService& service, StatusPanels& status, Hooks hooks, QWidget* parent);

    void startListening();
    void stopListening();

    QLabel* whitelistCount() const { return m_whitelistCount; }
    QLabel* successCount() const { return m_successCount; }

private:
    void showIdle();

    service::VorlanxService& m_service;
    StatusPanels& m_status;
    Hooks m_hooks;
    QLineEdit* m_port;
    QPushButton* m_start;
    QPushButton* m_stop;
    QLabel* m_whitelistCount;
    QLabel* m_successCount;
};

} // namespace vorlanx::shell
