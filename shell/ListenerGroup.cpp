#include "shell/ListenerGroup.h"

#include "service/VorlanxService.h"
#include "shell/MessageBox.h"
#include "shell/StatusPanels.h"
#include "shell/Widgets.h"
#include "ui/Texts.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <utility>

namespace vorlanx::shell {

ListenerGroup::ListenerGroup(service::VorlanxService& service, StatusPanels& status, Hooks hooks, QWidget* parent)
    : QGroupBox(parent), m_service(service), m_status(status), m_hooks(std::move(hooks)) {
    using ui::Id;
    tagControl(this, Id::ListenerGroup);
    setTitle(captionOf(Id::ListenerGroup));
    m_port = makeLineEdit(Id::ListenPort, this);
    m_start = makeButton(Id::ListenButton, this);
    m_stop = makeButton(Id::StopButton, this);
    m_whitelistCount = makeLabel(Id::WhitelistCount, this);
    m_successCount = makeLabel(Id::SuccessCount, this);

    m_port->setFixedWidth(48);
    m_stop->setFixedWidth(48);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 2, 6, 4);
    grid->setSpacing(4);
    placeInGrid(grid, m_port);
    placeInGrid(grid, m_start);
    placeInGrid(grid, m_stop);
    // The counts share the grid's second row in a row of their own, the values taking the room.
    auto* counts = new QHBoxLayout;
    counts->addWidget(makeLabel(Id::WhitelistCountLabel, this));
    counts->addWidget(m_whitelistCount, 1);
    counts->addWidget(makeLabel(Id::SuccessCountLabel, this));
    counts->addWidget(m_successCount, 1);
    grid->addLayout(counts, 1, 0, 1, 4);

    connect(m_start, &QPushButton::clicked, this, &ListenerGroup::startListening);
    connect(m_stop, &QPushButton::clicked, this, &ListenerGroup::stopListening);
    m_stop->setEnabled(false);

    m_stopPoll = new QTimer(this);
    m_stopPoll->setInterval(50);
    connect(m_stopPoll, &QTimer::timeout, this, &ListenerGroup::pollStop);
}

void ListenerGroup::startListening() {
    if (m_hooks.clearOnlineList)
        m_hooks.clearOnlineList();
    const QString text = m_port->text().trimmed();
    if (text.isEmpty()) {
        MessageBox::information(window(), qText(ui::kMessageTitle), qText(ui::kPortMissingText));
        m_stop->setEnabled(false);
        return;
    }
    m_stop->setEnabled(true);
    m_start->setEnabled(false);

    bool number = false;
    const uint port = text.toUInt(&number);
    // A port outside 1-65535 is taken as port 0, which the service refuses like a port in use.
    const bool validPort = number && port >= 1 && port <= 65535;
    const auto result = m_service.startListening(validPort ? static_cast<std::uint16_t>(port) : 0);
    m_status.setPanel(StatusPanels::kOperation, QString::fromStdString(result.operationText));
    if (!result.listening) {
        showIdle();
        return;
    }
    m_port->setEnabled(false);
}

void ListenerGroup::stopListening() {
    stopThen({});
}

void ListenerGroup::stopThen(std::function<void()> after) {
    if (!m_service.beginStop()) {
        // A stop is under way already: `after` follows its end.
        if (after)
            m_afterStop = [first = std::move(m_afterStop), after = std::move(after)] {
                if (first)
                    first();
                after();
            };
        return;
    }
    m_afterStop = std::move(after);
    m_start->setEnabled(false);
    m_stop->setEnabled(false);
    // With nothing under way the stop ends at once and the click shows its end without a pause;
    // otherwise the timer looks for the end while the window goes on.
    if (const auto report = m_service.stopResult(std::chrono::milliseconds(50))) {
        stopEnded(report->operationText);
        return;
    }
    m_stopPoll->start();
}

void ListenerGroup::pollStop() {
    const auto report = m_service.stopResult();
    if (!report)
        return;
    m_stopPoll->stop();
    stopEnded(report->operationText);
}

void ListenerGroup::stopEnded(const std::string& operationText) {
    showIdle();
    m_status.setPanel(StatusPanels::kOperation, QString::fromStdString(operationText));
    if (auto after = std::exchange(m_afterStop, {}))
        after();
}

void ListenerGroup::showIdle() {
    m_port->setEnabled(true);
    m_stop->setEnabled(false);
    m_start->setEnabled(true);
}

} // namespace vorlanx::shell
