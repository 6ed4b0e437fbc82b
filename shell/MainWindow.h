#pragma once

#include "shell/OnlineRow.h"

#include <QMainWindow>

#include <memory>

class QLineEdit;
class QTabWidget;
class QTimer;
class QTreeWidget;

namespace vorlanx::present {
class Presenter;
}

namespace vorlanx::service {
class VorlanxService;
}

namespace vorlanx::shell {

class AdminCommands;
class AppendBox;
class BasicPage;
class DataConfigPage;
class ListMenu;
class ListenerGroup;
class PeriodPage;
class StatusPanels;
class TerminalLists;
class WhitelistPage;

// The service's one window: the online terminal list, the listener and send-target groups,
// the command pages, the result box, the activity log and the status bar. It forwards what the
// operator asks for to the presenter and shows what the presenter reports; the service outlives it.
class MainWindow : public QMainWindow {
public:
    explicit MainWindow(service::VorlanxService& service, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Timer work, public so that tests can run a tick without waiting for it.
    void clockTick();
    void logTick();

    // First local IPv4 address other than loopback, or 127.0.0.1 when there is none.
    static QString firstLocalAddress();

    present::Presenter& presenter() { return *m_presenter; }
    service::VorlanxService& service() { return m_service; }
    ListenerGroup& listenerGroup() { return *m_listenerGroup; }
    StatusPanels& status() { return *m_status; }
    AppendBox& log() { return *m_log; }
    AppendBox& results() { return *m_results; }

protected:
    // A close while listening drains first, as 停止 does, with the window live.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLayout();
    void buildMenus();
    void windowCreated();
    void loadPeriods();
    void connectInput();
    void makePresenter();

    service::VorlanxService& m_service;
    std::unique_ptr<present::Presenter> m_presenter;
    StatusPanels* m_status;
    QTreeWidget* m_onlineList = nullptr;
    OnlineRow::Index m_onlineRows; // the online list's rows by address
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
    AdminCommands* m_commands = nullptr;
};

} // namespace vorlanx::shell
