#pragma once


#include <QGroupBox>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

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
    // The stop of the 停止 button, then `after` once the port has closed. The drain runs on the
    // service's worker: the window stays live while bookings under way finish and are answered.
    void stopThen(std::function<void()> after);

    QLabel* whitelistCount() const { return m_whitelistCount; }
    QLabel* successCount() const { return m_successCount; }

private:
    void showIdle();
    void pollStop();
    void stopEnded(const std::string& operationText);

    service::VorlanxService& m_service;
    StatusPanels& m_status;
    Hooks m_hooks;
    QLineEdit* m_port;
    QPushButton* m_start;
    QPushButton* m_stop;
    QLabel* m_whitelistCount;
    QLabel* m_successCount;
    QTimer* m_stopPoll;
    std::function<void()> m_afterStop;
};

} // namespace vorlanx::shell
