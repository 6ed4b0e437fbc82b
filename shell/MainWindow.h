#pragma once

#include "link/FrameDispatcher.h"
#include "link/OnlineTerminals.h"
#include "link/ResultBox.h"
#include "link/SharedClock.h"
#include "link/UdpEndpoint.h"
#include "txn/CardTransactions.h"
#include "txn/PersonnelSource.h"
#include "txn/TransactionPool.h"

#include <memory>

#include <QMainWindow>

class QLineEdit;
class QTabWidget;
class QTimer;
class QTreeWidget;

namespace vorlanx::shell {

class AppendBox;
class BasicPage;
class DataConfigPage;
class ListMenu;
class ListenerGroup;
class PeriodPage;
class ServiceBridge;
struct ServiceContext;
class StatusPanels;
class TerminalLists;
class WhitelistPage;

// The service's one window: the online terminal list, the listener and send-target groups,
// the command pages, the result box, the activity log and the status bar.
class MainWindow : public QMainWindow {
public:
    explicit MainWindow(ServiceContext& context, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Timer work, public so that tests can run a tick without waiting for it.
    void clockTick();
    void logTick();

    // First local IPv4 address other than loopback, or 127.0.0.1 when there is none.
    static QString firstLocalAddress();

    ServiceBridge& bridge() { return *m_bridge; }
    txn::PersonnelSource& personnel() { return *m_personnel; }
    ListenerGroup& listenerGroup() { return *m_listenerGroup; }
    StatusPanels& status() { return *m_status; }
    AppendBox& log() { return *m_log; }
    AppendBox& results() { return *m_results; }

private:
    void buildLayout();
    void buildMenus();
    void windowCreated();
    void loadPeriods();
    void connectBridge();
    void clearOnlineList();
    void refreshPersonnel();

    ServiceContext& m_context;
    link::UdpEndpoint& m_listener;
    link::SharedClock& m_clock;
    ServiceBridge* m_bridge;
    link::OnlineTerminals m_terminals;
    link::ResultBox m_resultBox;
    // Declared in the order they are built; destroyed in reverse, the pool's workers before the
    // transactions they run.
    std::unique_ptr<txn::CardTransactions> m_transactions;
    std::unique_ptr<txn::TransactionPool> m_pool;
    std::unique_ptr<txn::PersonnelSource> m_personnel;
    std::unique_ptr<link::FrameDispatcher> m_dispatcher;
    StatusPanels* m_status;
    QTreeWidget* m_onlineList = nullptr;
    ListenerGroup* m_listenerGroup = nullptr;
    QLineEdit* m_sendAddress = nullptr;
    QLineEdit* m_sendPort = nullptr;
    QLineEdit* m_sendMachine = nullptr;
    QTabWidget* m_pages = nullptr;
    BasicPage* m_basicPage = nullptr;
    PeriodPage* m_periodPage = nullptr;
    WhitelistPage* m_whitelistPage = nullptr;
    DataConfigPage* m_dataPage = nullptr;
    AppendBox* m_results = nullptr;
    AppendBox* m_log = nullptr;
    QTimer* m_clockTimer = nullptr;
    QTimer* m_logTimer = nullptr;
    TerminalLists* m_terminalLists = nullptr;
    ListMenu* m_listMenu = nullptr;
};

} // namespace vorlanx::shell
