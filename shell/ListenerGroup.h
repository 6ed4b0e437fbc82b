#pragma once

#include "link/UdpEndpoint.h"

#include <QGroupBox>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vorlanx::shell {

class StatusPanels;

// The listener group: the port box, start and stop, the white-list count and the success
// count. Start opens the listener endpoint anew and binds it; stop closes it.
class ListenerGroup : public QGroupBox {
public:
    struct Hooks {
        std::function<link::UdpEndpoint::Handler()> makeHandler; // receive handler for each start
        std::function<void()> clearOnlineList;                   // runs first on every start
    };

    ListenerGroup(link::UdpEndpoint& endpoint, StatusPanels& status, Hooks hooks, QWidget* parent);

    void startListening();
    void stopListening();

    QLabel* whitelistCount() const { return m_whitelistCount; }
    QLabel* successCount() const { return m_successCount; }

private:
    void showIdle();

    link::UdpEndpoint& m_endpoint;
    StatusPanels& m_status;
    Hooks m_hooks;
    QLineEdit* m_port;
    QPushButton* m_start;
    QPushButton* m_stop;
    QLabel* m_whitelistCount;
    QLabel* m_successCount;
};

} // namespace vorlanx::shell
