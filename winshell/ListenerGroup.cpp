#include "winshell/ListenerGroup.h"

#include "service/VorlanxService.h"
#include "ui/Texts.h"
#include "winshell/MessageBox.h"

#include <chrono>
#include <utility>

namespace vorlanx::winshell {

using ui::Id;

namespace {

// Whether the Windows service vorlanxd runs on this computer; a query only, which any user may make.
bool serviceRunning() {
    const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager)
        return false;
    bool running = false;
    if (const SC_HANDLE service = OpenServiceW(manager, L"vorlanxd", SERVICE_QUERY_STATUS)) {
        SERVICE_STATUS status{};
        running = QueryServiceStatus(service, &status) && status.dwCurrentState != SERVICE_STOPPED;
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return running;
}

} // namespace

ListenerGroup::ListenerGroup(service::VorlanxService& service, const WindowControls& controls, HWND window,
                             std::function<void()> clearOnlineList)
    : m_service(service), m_controls(controls), m_window(window), m_clearOnlineList(std::move(clearOnlineList)) {
    m_controls[Id::StopButton].setEnabled(false);
}

void ListenerGroup::setOperation(const std::string& text) {
    m_controls.statusBar().setPanel(ui::kOperationPanel, text);
}

void ListenerGroup::startListening() {
    if (m_clearOnlineList)
        m_clearOnlineList();
    std::string text = m_controls[Id::ListenPort].text();
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    while (!text.empty() && text.front() == ' ')
        text.erase(text.begin());
    if (text.empty()) {
        showMessage(m_window, ui::kMessageTitle, ui::kPortMissingText);
        m_controls[Id::StopButton].setEnabled(false);
        return;
    }
    m_controls[Id::StopButton].setEnabled(true);
    m_controls[Id::ListenButton].setEnabled(false);
    // A port outside 1-65535 is taken as port 0, which the service refuses like a port in use.
    unsigned long port = 0;
    bool number = text.size() <= 5;
    for (const char c : text)
        number = number && c >= '0' && c <= '9';
    if (number)
        port = std::stoul(text);
    const bool validPort = number && port >= 1 && port <= 65535;
    const auto result = m_service.startListening(validPort ? static_cast<std::uint16_t>(port) : 0);
    setOperation(result.operationText);
    if (!result.listening) {
        showIdle();
        if (validPort && serviceRunning())
            showMessage(m_window, ui::kMessageTitle, ui::kPortHeldByServiceText);
        return;
    }
    m_controls[Id::ListenPort].setEnabled(false);
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
    m_controls[Id::ListenButton].setEnabled(false);
    m_controls[Id::StopButton].setEnabled(false);
    // With nothing under way the stop ends at once; otherwise the timer looks for the end while
    // the window goes on.
    if (const auto report = m_service.stopResult(std::chrono::milliseconds(50))) {
        stopEnded(report->operationText);
        return;
    }
    m_polling = true;
    SetTimer(m_window, kStopPollTimer, 50, nullptr);
}

void ListenerGroup::pollStop() {
    const auto report = m_service.stopResult();
    if (!report)
        return;
    KillTimer(m_window, kStopPollTimer);
    m_polling = false;
    stopEnded(report->operationText);
}

void ListenerGroup::stopEnded(const std::string& operationText) {
    showIdle();
    setOperation(operationText);
    if (auto after = std::exchange(m_afterStop, {}))
        after();
}

void ListenerGroup::showIdle() {
    m_controls[Id::ListenPort].setEnabled(true);
    m_controls[Id::StopButton].setEnabled(false);
    m_controls[Id::ListenButton].setEnabled(true);
}

} // namespace vorlanx::winshell
