#include "shell/MainWindow.h"

#include "config/PeriodSettings.h"
#include "link/LogText.h"
#include "present/Presenter.h"
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
#include <QMetaObject>
#include <QNetworkInterface>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vorlanx::shell {

MainWindow::MainWindow(service::VorlanxService& service, QWidget* parent)
    : QMainWindow(parent), m_service(service), m_status(new StatusPanels(this)) {
    setWindowTitle(qText(ui::kWindowTitle));
    QFont small = font();
    small.setPointSize(ui::kFontPointSize);
    setFont(small);
    // The status bar's style sheet keeps its panels from taking the window's font: they are given it.
    for (QLabel* panel : m_status->findChildren<QLabel*>())
        panel->setFont(small);
    setGeometry(ui::kWindowX, ui::kWindowY, ui::kWindowWidth, ui::kWindowHeight);
    setStatusBar(m_status);
    makePresenter();
    buildLayout();
    buildMenus();
    connectInput();

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
    m_presenter.reset();
    // The rows leave the index as they go, so they go while it is still there.
    m_onlineList->clear();
}

void MainWindow::buildLayout() {
    auto* central = new QWidget(this);
    setCentralWidget(central);

    using ui::Id;
    m_onlineList = makeList(Id::OnlineList, central);
    m_onlineList->setFixedWidth(226);

    m_listenerGroup = new ListenerGroup(central);

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
    m_dataPage = new DataConfigPage(m_pages);
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

    m_commands = new AdminCommands(
        *m_presenter, m_presenter->parallelDownload(),
        {m_basicPage, m_periodPage, m_whitelistPage, m_sendAddress, m_sendPort, m_sendMachine, m_dataPage->terminals},
        this);
}

void MainWindow::buildMenus() {
    m_terminalLists = new TerminalLists(
        {m_onlineList, m_dataPage->terminals, m_sendAddress, m_sendPort, m_sendMachine, m_pages},
        [this] { m_presenter->clearOnlineList(); }, this);
    m_listMenu = new ListMenu(ui::menu(ui::Id::PersonnelMenu), m_whitelistPage->personnel, this);
}

void MainWindow::windowCreated() {
    m_status->setPanel(StatusPanels::kLocalIp, firstLocalAddress());
    m_basicPage->whiteList->setChecked(true);
    m_basicPage->setTime->setChecked(true);
    loadPeriods();
    m_presenter->windowCreated(m_sendMachine->text().toStdString());
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

void MainWindow::makePresenter() {
    present::WindowView view;
    view.setPanel = [this](int panel, const std::string& text) {
        m_status->setPanel(panel, QString::fromStdString(text));
    };
    view.appendLog = [this](const std::string& text) { m_log->appendText(QString::fromStdString(text)); };
    view.addOnlineRow = [this](const std::string& address, const std::string& port, const std::string& machine) {
        new OnlineRow(m_onlineList,
                      {QString::fromStdString(address), QString::fromStdString(port), QString::fromStdString(machine)},
                      m_service, m_onlineRows);
    };
    view.removeOnlineRow = [this](const std::string& address) {
        delete m_onlineRows.value(QString::fromStdString(address));
    };
    view.clearOnlineList = [this] { m_onlineList->clear(); };
    view.enableListener = [this](bool port, bool start, bool stop) { m_listenerGroup->enableParts(port, start, stop); };
    view.setSuccessCount = [this](const std::string& text) {
        m_listenerGroup->successCount()->setText(QString::fromStdString(text));
    };
    view.setWhitelistCount = [this](const std::string& text) {
        m_listenerGroup->whitelistCount()->setText(QString::fromStdString(text));
    };
    view.setResultCaption = [this](const std::string& caption) {
        findChild<QGroupBox*>(qText(ui::control(ui::Id::ResultGroup).name))->setTitle(QString::fromStdString(caption));
    };
    view.appendResult = [this](const std::string& text) { m_results->appendText(QString::fromStdString(text)); };
    view.clearResults = [this] { m_results->clearText(); };
    view.setSendFields = [this](const std::string& address, const std::string& port, const std::string& machine) {
        m_sendAddress->setText(QString::fromStdString(address));
        m_sendPort->setText(QString::fromStdString(port));
        m_sendMachine->setText(QString::fromStdString(machine));
    };
    view.enableCommands = [this](bool enabled) { m_commands->setButtonsEnabled(enabled); };
    view.clearPersonnel = [this] { m_whitelistPage->personnel->clear(); };
    view.addPersonnelRow = [this](const std::vector<std::string>& cells) {
        QStringList row;
        for (const std::string& cell : cells)
            row << QString::fromStdString(cell);
        new QTreeWidgetItem(m_whitelistPage->personnel, row);
    };
    view.showDatabaseSettings = [this](const config::ConnectionSettings& s) { m_dataPage->database->show(s); };
    view.enableDatabaseSave = [this](bool enabled) { m_dataPage->database->saveButton()->setEnabled(enabled); };
    view.showMessage = [this](const std::string& text) {
        MessageBox::information(this, qText(ui::kMessageTitle), QString::fromStdString(text));
    };
    // Queued: a close from within the close handler would be ignored.
    view.closeWindow = [this] { QTimer::singleShot(0, this, &QWidget::close); };
    m_presenter = std::make_unique<present::Presenter>(m_service, std::move(view), [this] {
        QMetaObject::invokeMethod(
            this, [this] { m_presenter->reports().drain(); }, Qt::QueuedConnection);
    });
}

void MainWindow::connectInput() {
    connect(m_listenerGroup->startButton(), &QPushButton::clicked, this,
            [this] { m_presenter->startListening(m_listenerGroup->port()->text().toStdString()); });
    connect(m_listenerGroup->stopButton(), &QPushButton::clicked, this, [this] { m_presenter->stopListening(); });
    connect(m_dataPage->database->saveButton(), &QPushButton::clicked, this,
            [this] { m_presenter->saveDatabaseSettings(m_dataPage->database->settings()); });
    connect(m_listMenu->item(ui::Command::RefreshPersonnel), &QAction::triggered, this,
            [this] { m_presenter->refreshPersonnel(m_sendMachine->text().toStdString()); });
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_presenter->closeRequested())
        QMainWindow::closeEvent(event);
    else
        event->ignore();
}

} // namespace vorlanx::shell
