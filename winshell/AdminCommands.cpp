#include "winshell/AdminCommands.h"

namespace vorlanx::winshell {

using ui::Id;

bool AdminCommands::parallelChecked() const {
    return m_controls.button(Id::ParallelDownloadCheck).checked();
}

void AdminCommands::setParallelChecked(bool parallel) {
    m_controls.button(Id::ParallelDownloadCheck).setChecked(parallel);
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

void AdminCommands::setButtonsEnabled(bool enabled) {
    for (const ui::Control& c : ui::controls()) {
        if (c.kind == ui::Kind::Button && ui::adminCommand(c.command))
            m_controls[c.id].setEnabled(enabled);
    }
}

} // namespace vorlanx::winshell
