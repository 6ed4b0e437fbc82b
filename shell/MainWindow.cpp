#include "shell/MainWindow.h"

#include "config/PeriodSettings.h"
#include "link/LogText.h"
#include "service/VorlanxService.h"
#include "shell/AdminCommands.h"
#include "shell/AppendBox.h"
#include "shell/BasicPage.h"
#include "shell/DataConfigPage.h"
#include "shell/DatabaseSettingsGroup.h"
#include "shell/ListMenu.h"
#include "shell/ListenerGroup.h"
#include "shell/MessageBox.h"
#include "shell/OnlineRow.h"
#include "shell/PeriodPage.h"
#include "shell/ServiceBridge.h"
#include "shell/StatusPanels.h"
#include "shell/TerminalLists.h"
#include "shell/TimeField.h"
#include "shell/WhitelistPage.h"
#include "shell/Widgets.h"
#include "ui/Texts.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QNetworkInterface>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vorlanx::shell {

MainWindow::MainWindow(service::VorlanxService& service, QWidget* parent)
    : QMainWindow(parent), m_service(service), m_bridge(new ServiceBridge(this)), m_status(new StatusPanels(this)) {
    setWindowTitle(qText(ui::kWindowTitle));
    QFont small = font();
    small.setPointSize(ui::kFontPointSize);
    setFont(small);
    setGeometry(ui::kWindowX, ui::kWindowY, ui::kWindowWidth, ui::kWindowHeight);
    setStatusBar(m_status);
    buildLayout();
    buildMenus();

    connectBridge();
    m_service.setListener(m_bridge);

    m_clockTimer = new QTimer(this);
    m_clockTimer->setObjectName(qText(ui::kClockTimer.name));
    m_clockTimer->setInterval(ui::kClockTimer.periodMs);
    connect(m_clockTimer, &QTimer::timeout, this, &MainWindow::clockTick);
    m_logTimer = new QTimer(this);
    m_logTimer->setObjectName(qText(ui::kLogTimer.name));
    m_logTimer->setInterval(ui::kLogTimer.periodMs);
    connect(m_logTimer, &QTimer::timeout, this, &MainWindow::logTick);

    windowCreated();
    clockTick();
    m_clockTimer->start();
    m_logTimer->start();
}

MainWindow::~MainWindow() {
    // The service outlives the window: its port closes with the window, as the operator expects,
    // and nothing it reports afterwards reaches the widgets.
    m_service.stopListening();
    m_service.setListener(nullptr);
    // The rows leave the index as they go, so they go while it is still there.
    m_onlineList->clear();
}

void MainWindow::buildLayout() {
    auto* central = new QWidget(this);
    setCentralWidget(central);

    using ui::Id;
    m_onlineList = makeList(Id::OnlineList, central);
    m_onlineList->setFixedWidth(226);

    ListenerGroup::Hooks hooks;
    hooks.clearOnlineList = [this] { clearOnlineList(); };
    m_listenerGroup = new ListenerGroup(m_service, *m_status, std::move(hooks), central);

    auto* sendGroup = makeGroup(Id::SendGroup, central);
    m_sendAddress = makeLineEdit(Id::SendAddress, sendGroup);
    m_sendPort = makeLineEdit(Id::SendPort, sendGroup);
    m_sendMachine = makeLineEdit(Id::SendMachine, sendGroup);
    m_sendAddress->setFixedWidth(112);
    m_sendPort->setFixedWidth(44);
    m_sendMachine->setFixedWidth(40);
    auto* sendGrid = new QGridLayout(sendGroup);
    sendGrid->setContentsMargins(6, 2, 6, 4);
    sendGrid->setSpacing(4);
    placeInGrid(sendGrid, makeLabel(Id::SendAddressLabel, sendGroup));
    placeInGrid(sendGrid, m_sendAddress);
    placeInGrid(sendGrid, makeLabel(Id::SendPortLabel, sendGroup));
    placeInGrid(sendGrid, m_sendPort);
    placeInGrid(sendGrid, makeLabel(Id::SendMachineLabel, sendGroup));
    placeInGrid(sendGrid, m_sendMachine);

    auto* commandGroup = makeGroup(Id::CommandGroup, central);
    m_pages = new QTabWidget(commandGroup);
    tagControl(m_pages, Id::Pages);
    m_basicPage = new BasicPage(m_pages);
    m_periodPage = new PeriodPage(m_pages);
    m_whitelistPage = new WhitelistPage(m_pages);
    m_dataPage = new DataConfigPage(m_service, *m_status, m_pages);
    QWidget* const pages[] = {m_basicPage, m_periodPage, m_whitelistPage, m_dataPage};
    for (const ui::PageEntry& page : ui::pages())
        m_pages->addTab(pages[static_cast<int>(page.page)], qText(page.name));
    auto* commandBox = new QVBoxLayout(commandGroup);
    commandBox->setContentsMargins(2, 2, 2, 2);
    commandBox->addWidget(m_pages);

    auto* resultGroup = makeGroup(Id::ResultGroup, central);
    m_results = new AppendBox(Id::Results, resultGroup);
    m_results->setLineLimit(link::ResultBox::kLineLimit);
    auto* resultBox = new QVBoxLayout(resultGroup);
    resultBox->setContentsMargins(4, 2, 4, 4);
    resultBox->addWidget(m_results);

    auto* logGroup = makeGroup(Id::LogGroup, central);
    m_log = new AppendBox(Id::Log, logGroup);
    auto* logBox = new QVBoxLayout(logGroup);
    logBox->setContentsMargins(4, 2, 4, 4);
    logBox->addWidget(m_log);

    connect(m_basicPage->clearLog, &QPushButton::clicked, this, [this] { m_log->clearText(); });

    auto* middle = new QVBoxLayout;
    auto* top = new QHBoxLayout;
    top->addWidget(m_listenerGroup);
    top->addWidget(sendGroup, 1);
    middle->addLayout(top);
    middle->addWidget(commandGroup, 1);

    auto* right = new QVBoxLayout;
    right->addWidget(resultGroup, 1);
    right->addWidget(logGroup, 1);

    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(4, 4, 4, 0);
    row->setSpacing(4);
    row->addWidget(m_onlineList);
    row->addLayout(middle, 1);
    row->addLayout(right);
    resultGroup->setFixedWidth(164);
    logGroup->setFixedWidth(164);

    m_commands =
        new AdminCommands(m_service, *m_bridge,
                          {m_basicPage, m_periodPage, m_whitelistPage, m_sendAddress, m_sendPort, m_sendMachine,
                           m_dataPage->terminals, resultGroup, m_results, m_listenerGroup->successCount(), m_status},
                          this);
}

void MainWindow::buildMenus() {
    m_terminalLists = new TerminalLists(
        {m_onlineList, m_dataPage->terminals, m_sendAddress, m_sendPort, m_sendMachine, m_pages},
        [this] { clearOnlineList(); }, this);
    m_listMenu = new ListMenu(ui::menu(ui::Id::PersonnelMenu), m_whitelistPage->personnel, this);
    connect(m_listMenu->item(ui::Command::RefreshPersonnel), &QAction::triggered, this, &MainWindow::refreshPersonnel);
}

void MainWindow::windowCreated() {
    m_status->setPanel(StatusPanels::kTotal, QStringLiteral("0"));
    m_status->setPanel(StatusPanels::kLocalIp, firstLocalAddress());
    m_basicPage->whiteList->setChecked(true);
    m_basicPage->setTime->setChecked(true);
    loadPeriods();
    DatabaseSettingsGroup::Hooks hooks;
    hooks.machineText = [this] { return m_sendMachine->text().toStdString(); };
    hooks.restart = [this] { restartService(); };
    m_dataPage->database->setHooks(std::move(hooks));
    m_dataPage->database->loadAtStartup();
    if (const auto bad = m_service.applyAllowList())
        MessageBox::information(this, qText(ui::kMessageTitle), qText(ui::allowListRefusedText(*bad)));
}

void MainWindow::loadPeriods() {
    const auto periods = config::loadPeriodSettings(m_service.dir());
    for (std::size_t i = 0; i < config::kPeriodCount; ++i) {
        m_periodPage->starts[i]->setText(QString::fromStdString(periods.times[i].start));
        m_periodPage->ends[i]->setText(QString::fromStdString(periods.times[i].end));
        m_periodPage->amounts[i]->setText(QString::fromStdString(periods.amounts[i]));
    }
}

QString MainWindow::firstLocalAddress() {
    for (const QHostAddress& a : QNetworkInterface::allAddresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback())
            return a.toString();
    }
    return QStringLiteral("127.0.0.1");
}

void MainWindow::clockTick() {
    m_status->setPanel(StatusPanels::kClock, QString::fromStdString(m_service.clock().tick().panelText()));
}

void MainWindow::logTick() {
    if (m_log->pieceCount() > link::kLogPieceLimit)
        m_log->clearText();
}

void MainWindow::connectBridge() {
    ServiceBridge::Views views;
    views.log = [this](const QString& text) { m_log->appendText(text); };
    views.terminalAdded = [this](const QString& address, const QString& port, const QString& machine,
                                 const QString& total) {
        new OnlineRow(m_onlineList, {address, port, machine}, m_service, m_onlineRows);
        m_status->setPanel(StatusPanels::kTotal, total);
    };
    views.terminalRemoved = [this](const QString& address, const QString& statusText) {
        delete m_onlineRows.value(address);
        if (!statusText.isEmpty())
            m_status->setPanel(StatusPanels::kStatus, statusText);
    };
    views.resultAppended = [this](const QString& text, std::optional<std::size_t> successCount) {
        m_results->appendText(text);
        if (successCount)
            m_listenerGroup->successCount()->setText(QString::number(*successCount));
    };
    auto* personnel = m_whitelistPage->personnel;
    QLabel* count = m_listenerGroup->whitelistCount();
    views.personnelRefreshStarted = [this, personnel, count](const QString& operationText) {
        count->setText(QStringLiteral("0"));
        personnel->clear();
        m_status->setPanel(StatusPanels::kOperation, operationText);
    };
    views.personnelListCleared = [personnel] { personnel->clear(); };
    views.personnelRowAdded = [personnel, count](const QStringList& row, const QString& countText) {
        new QTreeWidgetItem(personnel, row);
        count->setText(countText);
    };
    views.personnelListLoaded = [this](const QString& operationText) {
        m_status->setPanel(StatusPanels::kOperation, operationText);
    };
    views.statusChanged = [this](const QString& text) { m_status->setPanel(StatusPanels::kStatus, text); };
    views.operationChanged = [this](const QString& text) { m_status->setPanel(StatusPanels::kOperation, text); };
    views.startupConnectFinished = [this](bool connected, const std::optional<QString>& statusText) {
        m_dataPage->database->startupConnectFinished(connected, statusText);
    };
    views.databaseSaveFinished = [this](const std::optional<QString>& message, bool restart) {
        m_dataPage->database->databaseSaveFinished(message, restart);
    };
    views.commandFinished = [this](bool completed, const std::optional<QString>& statusText) {
        m_commands->commandFinished(completed, statusText);
    };
    auto* resultGroup = findChild<QGroupBox*>(qText(ui::control(ui::Id::ResultGroup).name));
    views.captionChanged = [resultGroup](const QString& caption) { resultGroup->setTitle(caption); };
    views.resultsCleared = [this] {
        m_results->clearText();
        m_listenerGroup->successCount()->setText(QStringLiteral("0"));
    };
    views.sendFieldsChanged = [this](const QString& address, const QString& port, const QString& machine) {
        m_sendAddress->setText(address);
        m_sendPort->setText(port);
        m_sendMachine->setText(machine);
    };
    m_bridge->setViews(std::move(views));
}

void MainWindow::refreshPersonnel() {
    m_service.refreshPersonnelList(m_sendMachine->text().toStdString());
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!m_service.listening()) {
        QMainWindow::closeEvent(event);
        return;
    }
    event->ignore();
    // Queued: a stop with nothing under way ends inside stopThen, and a close from within this
    // handler would be ignored.
    m_listenerGroup->stopThen([this] { QTimer::singleShot(0, this, &QWidget::close); });
}

void MainWindow::restartService() {
    // The port drains first, as at 停止, with the window live; the restart script's delay starts
    // only after. The window stays open until the hand-over has worked, so a failed one leaves the
    // operator with a window that still works and says what to do.
    m_listenerGroup->stopThen([this] {
        if (!m_service.restart()) {
            MessageBox::information(this, qText(ui::kMessageTitle), qText(ui::kRestartFailedText));
            return;
        }
        close();
    });
}

void MainWindow::clearOnlineList() {
    // Rows still on their way from an earlier listening run land first, then all go together.
    m_bridge->drain();
    m_service.clearOnlineTerminals();
    m_onlineList->clear();
}

} // namespace vorlanx::shell
