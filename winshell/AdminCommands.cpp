#include "winshell/AdminCommands.h"

#include "service/VorlanxService.h"
#include "ui/Texts.h"
#include "winshell/MessageBox.h"
#include "winshell/ServiceBridge.h"

namespace vorlanx::winshell {

using ui::Id;

AdminCommands::AdminCommands(service::VorlanxService& service, ServiceBridge& bridge, const WindowControls& controls,
                             HWND window)
    : m_service(service), m_bridge(bridge), m_controls(controls), m_window(window) {
    m_controls.button(Id::ParallelDownloadCheck).setChecked(m_service.parallelDownload());
}

void AdminCommands::parallelToggled() {
    m_service.setParallelDownload(m_controls.button(Id::ParallelDownloadCheck).checked());
}

admin::CommandRequest AdminCommands::readControls(const ui::AdminCommand& command) const {
    const WindowControls& w = m_controls;
    admin::CommandRequest request;
    request.kind = command.kind;
    request.shape = command.shape;
    request.sendFields = {w.shownText(Id::SendAddress), w[Id::SendPort].text(), w[Id::SendMachine].text()};
    const ListView& terminals = w.list(Id::TerminalList);
    for (int i = 0; i < terminals.rowCount(); ++i)
        request.terminalList.push_back({terminals.cell(i, 0), terminals.cell(i, 1), terminals.cell(i, 2)});
    request.clock = w.button(Id::ReadTimeRadio).checked()  ? admin::ClockDirection::Read
                    : w.button(Id::SetTimeRadio).checked() ? admin::ClockDirection::Set
                                                           : admin::ClockDirection::None;
    for (std::size_t i = 0; i < admin::kMeals; ++i) {
        const ui::PeriodIds& p = ui::kPeriodIds[i];
        request.periods[i] = {w.button(p.timeCheck).checked(), w[p.start].text(), w[p.end].text()};
        request.amounts[i] = {w.button(p.amountCheck).checked(), w[p.amount].text()};
    }
    request.modeIndex = w.combo(Id::ModeCombo).currentIndex();
    request.titleUtf8 = w[Id::TitleEdit].text();
    request.parallelDownload = w.button(Id::ParallelDownloadCheck).checked();
    request.list = w.button(Id::BlackListRadio).checked() && !w.button(Id::WhiteListRadio).checked()
                       ? link::CardList::Black
                       : link::CardList::White;
    return request;
}

void AdminCommands::run(const ui::AdminCommand& command) {
    if (m_running)
        return;
    const admin::PreparedCommand prepared =
        m_service.runCommand(readControls(command), [this](const admin::PreparedCommand& shown) {
            if (shown.caption)
                m_controls[Id::ResultGroup].setText(*shown.caption);
            if (shown.clearResults) {
                // Answers still queued for the window belong to the box before it was cleared.
                m_bridge.drain();
                m_controls.box(Id::Results).clearText();
                m_controls[Id::SuccessCount].setText("0");
            }
            // Set before the first frame leaves: the report of the command's end comes after this.
            if (shown.runs()) {
                m_running = true;
                setButtonsEnabled(false);
            }
        });
    if (m_running && !prepared.runs()) {
        m_running = false;
        setButtonsEnabled(true);
    }
    if (prepared.message)
        showMessage(m_window, ui::kMessageTitle, *prepared.message);
}

void AdminCommands::commandFinished(const std::optional<std::string>& statusText) {
    m_running = false;
    setButtonsEnabled(true);
    if (statusText)
        m_controls.statusBar().setPanel(ui::kStatusPanel, *statusText);
}

void AdminCommands::setButtonsEnabled(bool enabled) {
    for (const ui::Control& c : ui::controls()) {
        if (c.kind == ui::Kind::Button && ui::adminCommand(c.command))
            m_controls[c.id].setEnabled(enabled);
    }
}

} // namespace vorlanx::winshell
