#include "present/Presenter.h"

#include "admin/InputChecks.h"
#include "service/VorlanxService.h"
#include "ui/Controls.h"
#include "ui/Texts.h"

#include <chrono>
#include <utility>

namespace vorlanx::present {

namespace {

// The port box's text as a port: at most five digits, 1-65535; anything else is port 0, which the
// service refuses like a port in use.
std::uint16_t portOf(std::string_view text) {
    const auto port = text.size() <= 5 ? admin::decimalValue(text, 65535) : std::nullopt;
    return port && *port >= 1 ? static_cast<std::uint16_t>(*port) : 0;
}

std::vector<std::string> cellsOf(const txn::PersonnelRow& row) {
    return {row.code, row.name, row.department, row.card};
}

} // namespace

Presenter::Presenter(service::VorlanxService& service, WindowView view, ReportQueue::Action wake)
    : m_service(service), m_view(std::move(view)), m_reports(std::move(wake)) {
    m_reports.setLogSink([this](const std::string& text) { m_view.appendLog(text); });
}

Presenter::~Presenter() {
    // The watch ends first: nothing may queue to a window that is going.
    m_stopWatch.request_stop();
    if (m_stopWatch.joinable())
        m_stopWatch.join();
    windowClosing();
}

void Presenter::windowCreated(const std::string& machineText) {
    m_service.setListener(this);
    m_attached = true;
    showIdle();
    m_view.setPanel(ui::kTotalPanel, "0");
    const auto load = m_service.startUp(machineText);
    if (load.shown)
        m_view.showDatabaseSettings(*load.shown);
    if (load.statusText)
        m_view.setPanel(ui::kStatusPanel, *load.statusText);
    if (load.operationText)
        m_view.setPanel(ui::kOperationPanel, *load.operationText);
    if (load.connectNeeded && load.shown)
        setConnecting(true);
    if (const auto bad = m_service.applyAllowList())
        showMessage(ui::allowListRefusedText(*bad));
}

void Presenter::windowClosing() {
    if (!m_attached)
        return;
    m_attached = false;
    m_service.stopListening();
    m_service.setListener(nullptr);
}

void Presenter::showMessage(std::string text) {
    m_reports.later([this, text = std::move(text)] { m_view.showMessage(text); });
}

void Presenter::showIdle() {
    m_view.enableListener(true, true, false);
}

void Presenter::startListening(const std::string& portText) {
    clearOnlineList();
    const std::string_view text = admin::trimmed(portText);
    if (text.empty()) {
        showMessage(std::string(ui::kPortMissingText));
        m_view.enableListener(true, true, false);
        return;
    }
    m_view.enableListener(true, false, true);
    const auto result = m_service.startListening(portOf(text));
    m_view.setPanel(ui::kOperationPanel, result.operationText);
    if (!result.listening) {
        showIdle();
        // The operator is told who has the port when it is the service, which a window cannot stop.
        if (m_view.portHeldByService && m_view.portHeldByService())
            showMessage(std::string(ui::kPortHeldByServiceText));
        return;
    }
    m_view.enableListener(false, false, true);
}

void Presenter::clearOnlineList() {
    // Rows still on their way from an earlier listening run land first, then all go together.
    m_reports.applyQueued();
    m_service.clearOnlineTerminals();
    m_view.clearOnlineList();
}

void Presenter::stopThen(std::function<void()> after) {
    if (m_stopping || !m_service.beginStop()) {
        // A stop is under way already: `after` follows its end.
        if (after)
            m_afterStop = [first = std::move(m_afterStop), after = std::move(after)] {
                if (first)
                    first();
                after();
            };
        return;
    }
    m_stopping = true;
    m_afterStop = std::move(after);
    m_view.enableListener(false, false, false);
    // With nothing under way the stop ends at once and the click shows its end without a pause.
    if (const auto report = m_service.stopResult(std::chrono::milliseconds(50))) {
        stopEnded(report->operationText);
        return;
    }
    // Otherwise the bookings under way finish and are answered while the window goes on.
    m_stopWatch = std::jthread([this](std::stop_token stop) {
        while (!stop.stop_requested()) {
            if (auto report = m_service.stopResult(std::chrono::milliseconds(100))) {
                m_reports.post([this, text = std::move(report->operationText)] { stopEnded(text); });
                return;
            }
        }
    });
}

void Presenter::stopEnded(const std::string& operationText) {
    m_stopping = false;
    showIdle();
    m_view.setPanel(ui::kOperationPanel, operationText);
    if (auto after = std::exchange(m_afterStop, {}))
        m_reports.later(std::move(after));
}

bool Presenter::closeRequested() {
    if (!m_service.listening() && !m_stopping)
        return true;
    stopThen([this] { m_view.closeWindow(); });
    return false;
}

void Presenter::restartService() {
    // The port drains first, as at 停止, with the window live; the restart script's delay starts
    // only after. The window stays open until the hand-over has worked, so a failed one leaves the
    // operator with a window that still works and says what to do.
    stopThen([this] {
        if (!m_service.restart()) {
            showMessage(std::string(ui::kRestartFailedText));
            return;
        }
        m_view.closeWindow();
    });
}

void Presenter::setCommandRunning(bool running) {
    m_commandRunning = running;
    m_view.enableCommands(!running);
}

void Presenter::runCommand(const admin::CommandRequest& request) {
    // One command never runs inside another: the buttons stay disabled until its end is reported.
    if (m_commandRunning)
        return;
    const admin::PreparedCommand prepared = m_service.runCommand(request, [this](const admin::PreparedCommand& shown) {
        if (shown.caption)
            m_view.setResultCaption(*shown.caption);
        if (shown.clearResults) {
            // Answers still queued belong to the box before it was cleared, so that no stale line
            // or count shows after the "0".
            m_reports.applyQueued();
            m_view.clearResults();
            m_view.setSuccessCount("0");
        }
        // Set before the first frame leaves: the report of the command's end comes after this.
        if (shown.runs())
            setCommandRunning(true);
    });
    if (m_commandRunning && !prepared.runs())
        setCommandRunning(false); // the runner refused it after all
    if (prepared.message)
        showMessage(*prepared.message);
}

bool Presenter::parallelDownload() const {
    return m_service.parallelDownload();
}

void Presenter::setParallelDownload(bool parallel) {
    m_service.setParallelDownload(parallel);
}

void Presenter::refreshPersonnel(const std::string& machineText) {
    m_service.refreshPersonnelList(machineText);
}

void Presenter::setConnecting(bool connecting) {
    m_connecting = connecting;
    m_view.enableDatabaseSave(!connecting);
}

void Presenter::saveDatabaseSettings(const config::ConnectionSettings& settings) {
    if (m_connecting)
        return;
    if (const auto refused = m_service.saveDatabaseSettings(settings)) {
        showMessage(*refused);
        return;
    }
    if (settings.kind != config::DatabaseKind::None)
        setConnecting(true);
}

// The reports: each is queued as plain values and applied on the UI thread in its turn.

void Presenter::clientEntry(const std::string& entry) {
    m_reports.postLog(entry);
}

void Presenter::terminalAdded(const std::string& address, const std::string& portText, const std::string& machine,
                              const std::string& totalText) {
    m_reports.post([=, this] {
        m_view.addOnlineRow(address, portText, machine);
        m_view.setPanel(ui::kTotalPanel, totalText);
    });
}

void Presenter::terminalRemoved(const std::string& address, const std::string& statusText) {
    m_reports.post([=, this] {
        m_view.removeOnlineRow(address);
        // A row that made room for a new terminal leaves without a word in the status panel.
        if (!statusText.empty())
            m_view.setPanel(ui::kStatusPanel, statusText);
    });
}

void Presenter::resultAppended(const std::string& text, std::optional<std::size_t> successCount) {
    m_reports.post([=, this] {
        m_view.appendResult(text);
        if (successCount)
            m_view.setSuccessCount(std::to_string(*successCount));
    });
}

// The list shown stays the list in force until the database has answered with the new one: a
// refresh that fails leaves the operator seeing the rows a download would send.
void Presenter::personnelRefreshStarted(const std::string& operationText) {
    m_reports.post([=, this] { m_view.setPanel(ui::kOperationPanel, operationText); });
}

void Presenter::personnelListCleared() {
    m_reports.post([this] {
        m_personnelFilling = true;
        m_view.clearPersonnel();
        m_view.setWhitelistCount("0");
    });
}

void Presenter::personnelRowAdded(const txn::PersonnelRow& row, const std::string& countText) {
    m_reports.post([this, cells = cellsOf(row), countText] {
        m_view.addPersonnelRow(cells);
        m_view.setWhitelistCount(countText);
    });
}

void Presenter::personnelListLoaded(std::size_t, const std::string& operationText) {
    m_reports.post([=, this] {
        m_personnelFilling = false;
        m_view.setPanel(ui::kOperationPanel, operationText);
    });
}

void Presenter::personnelListLoadFailed(const std::string& operationText) {
    m_reports.post([=, this] {
        m_view.setPanel(ui::kOperationPanel, operationText);
        if (!m_personnelFilling)
            return;
        // A load that was overtaken left part of its rows behind: the rows in force go back.
        m_personnelFilling = false;
        const auto rows = m_service.personnelRows();
        m_view.clearPersonnel();
        for (const txn::PersonnelRow& row : rows)
            m_view.addPersonnelRow(cellsOf(row));
        m_view.setWhitelistCount(std::to_string(rows.size()));
    });
}

void Presenter::statusChanged(const std::string& text) {
    m_reports.post([=, this] { m_view.setPanel(ui::kStatusPanel, text); });
}

void Presenter::operationChanged(const std::string& text) {
    m_reports.post([=, this] { m_view.setPanel(ui::kOperationPanel, text); });
}

void Presenter::startupConnectFinished(bool, const std::optional<std::string>& statusText) {
    m_reports.post([=, this] {
        setConnecting(false);
        if (statusText)
            m_view.setPanel(ui::kStatusPanel, *statusText);
    });
}

void Presenter::databaseSaveFinished(const std::optional<std::string>& message, bool restart) {
    m_reports.post([=, this] {
        setConnecting(false);
        if (message)
            showMessage(*message);
        // After the box: the operator reads the outcome before the window goes.
        if (restart)
            m_reports.later([this] { restartService(); });
    });
}

void Presenter::commandFinished(bool, const std::optional<std::string>& statusText) {
    m_reports.post([=, this] {
        setCommandRunning(false);
        if (statusText)
            m_view.setPanel(ui::kStatusPanel, *statusText);
    });
}

void Presenter::captionChanged(const std::string& caption) {
    m_reports.post([=, this] { m_view.setResultCaption(caption); });
}

void Presenter::resultsCleared() {
    m_reports.post([this] {
        m_view.clearResults();
        m_view.setSuccessCount("0");
    });
}

void Presenter::sendFieldsChanged(const std::string& address, const std::string& port, const std::string& machine) {
    m_reports.post([=, this] { m_view.setSendFields(address, port, machine); });
}

} // namespace vorlanx::present
