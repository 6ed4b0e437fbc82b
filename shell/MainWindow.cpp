#include "shell/MainWindow.h"

#include "config/PeriodSettings.h"
#include "config/SettingsTexts.h"
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
    setWindowTitle(QStringLiteral("VorlanxV7_20200508"));
    QFont small = font();
    small.setPointSize(8);
    setFont(small);
    setGeometry(50, 50, 804, 490);
    setStatusBar(m_status);
    buildLayout();
    buildMenus();

    connectBridge();
    m_service.setListener(m_bridge);

    m_clockTimer = new QTimer(this);
    m_clockTimer->setObjectName(QStringLiteral("时钟1"));
    m_clockTimer->setInterval(300);
    connect(m_clockTimer, &QTimer::timeout, this, &MainWindow::clockTick);
    m_logTimer = new QTimer(this);
    m_logTimer->setObjectName(QStringLiteral("时钟2"));
    m_logTimer->setInterval(500);
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

    m_onlineList = makeList("超级列表框1", {QStringLiteral("设备IP"), QStringLiteral("端口号"), QStringLiteral("机号")},
                            {120, 50, 50}, central);
    m_onlineList->setFixedWidth(226);

    ListenerGroup::Hooks hooks;
    hooks.clearOnlineList = [this] { clearOnlineList(); };
    m_listenerGroup = new ListenerGroup(m_service, *m_status, std::move(hooks), central);

    auto* sendGroup = makeGroup("分组框4", QStringLiteral("发送目标"), central);
    m_sendAddress = makeAddressEdit("IP编辑框1", QString(), sendGroup);
    m_sendPort = makeLineEdit("编辑框_发送端口", QStringLiteral("3000"), sendGroup);
    m_sendMachine = makeLineEdit("编辑框_发送机号", QString(), sendGroup);
    m_sendAddress->setFixedWidth(112);
    m_sendPort->setFixedWidth(44);
    m_sendMachine->setFixedWidth(40);
    auto* sendGrid = new QGridLayout(sendGroup);
    sendGrid->setContentsMargins(6, 2, 6, 4);
    sendGrid->setSpacing(4);
    sendGrid->addWidget(makeLabel(QStringLiteral("IP:"), sendGroup), 0, 0);
    sendGrid->addWidget(m_sendAddress, 0, 1, 1, 3);
    sendGrid->addWidget(makeLabel(QStringLiteral("端口"), sendGroup), 1, 0);
    sendGrid->addWidget(m_sendPort, 1, 1);
    sendGrid->addWidget(makeLabel(QStringLiteral("机号"), sendGroup), 1, 2);
    sendGrid->addWidget(m_sendMachine, 1, 3);

    auto* commandGroup = makeGroup("分组框1", QString(), central);
    m_pages = new QTabWidget(commandGroup);
    m_pages->setObjectName(QStringLiteral("选择夹1"));
    m_basicPage = new BasicPage(m_pages);
    m_periodPage = new PeriodPage(m_pages);
    m_whitelistPage = new WhitelistPage(m_pages);
    m_dataPage = new DataConfigPage(m_service, *m_status, m_pages);
    m_pages->addTab(m_basicPage, QStringLiteral("基础参数"));
    m_pages->addTab(m_periodPage, QStringLiteral("时段设置"));
    m_pages->addTab(m_whitelistPage, QStringLiteral("黑白名单"));
    m_pages->addTab(m_dataPage, QStringLiteral("数据配置"));
    auto* commandBox = new QVBoxLayout(commandGroup);
    commandBox->setContentsMargins(2, 2, 2, 2);
    commandBox->addWidget(m_pages);

    auto* resultGroup = makeGroup("分组框2", QStringLiteral("处理结果"), central);
    m_results = new AppendBox("编辑框_参数返回", resultGroup);
    m_results->setLineLimit(link::ResultBox::kLineLimit);
    auto* resultBox = new QVBoxLayout(resultGroup);
    resultBox->setContentsMargins(4, 2, 4, 4);
    resultBox->addWidget(m_results);

    auto* logGroup = makeGroup("分组框5", QStringLiteral("输出日志："), central);
    m_log = new AppendBox("编辑框2", logGroup);
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
    m_listMenu = new ListMenu(QStringLiteral("名单"), m_whitelistPage->personnel, this);
    connect(m_listMenu->addItem(QStringLiteral("刷新名单"), true), &QAction::triggered, this,
            &MainWindow::refreshPersonnel);
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
        MessageBox::information(
            this, QString::fromStdString(std::string(config::kMessageTitle)),
            QStringLiteral("conf.ini 中 [terminals] allow 的“%1”不是IPv4地址或网段，现在为所有终端服务")
                .arg(QString::fromStdString(*bad)));
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
    auto* resultGroup = findChild<QGroupBox*>(QStringLiteral("分组框2"));
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
            MessageBox::information(this, QString::fromStdString(std::string(config::kMessageTitle)),
                                    QStringLiteral("重启失败，请手动重新启动程序"));
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
