#include "shell/AdminCommands.h"

#include "present/Presenter.h"
#include "shell/BasicPage.h"
#include "shell/PeriodPage.h"
#include "shell/TimeField.h"
#include "shell/WhitelistPage.h"
#include "shell/Widgets.h"
#include "ui/AdminCommand.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

namespace vorlanx::shell {

using admin::CommandKind;
using admin::Shape;

AdminCommands::AdminCommands(present::Presenter& presenter, bool parallelDownload, Controls controls, QObject* parent)
    : QObject(parent), m_presenter(presenter), m_controls(controls) {
    WhitelistPage* whitelist = controls.whitelist;
    // Every button of the description that starts an administration command, found by its name
    // among the pages.
    for (const ui::Control& c : ui::controls()) {
        const auto command = ui::adminCommand(c.command);
        if (!command)
            continue;
        QPushButton* button = nullptr;
        for (QWidget* page : {static_cast<QWidget*>(controls.basic), static_cast<QWidget*>(controls.periods),
                              static_cast<QWidget*>(whitelist)}) {
            if (!button)
                button = page->findChild<QPushButton*>(qText(c.name));
        }
        Q_ASSERT(button);
        wire(button, command->kind, command->shape);
    }
    whitelist->parallelDownload->setChecked(parallelDownload);
    connect(whitelist->parallelDownload, &QCheckBox::toggled, this,
            [this](bool on) { m_presenter.setParallelDownload(on); });
}

void AdminCommands::wire(QPushButton* button, CommandKind kind, Shape shape) {
    m_buttons.push_back(button);
    connect(button, &QPushButton::clicked, this,
            [this, kind, shape] { m_presenter.runCommand(readControls(kind, shape)); });
}

admin::CommandRequest AdminCommands::readControls(CommandKind kind, Shape shape) const {
    admin::CommandRequest request;
    request.kind = kind;
    request.shape = shape;
    request.sendFields = {m_controls.sendAddress->text().toStdString(), m_controls.sendPort->text().toStdString(),
                          m_controls.sendMachine->text().toStdString()};
    for (int i = 0; i < m_controls.terminalList->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = m_controls.terminalList->topLevelItem(i);
        request.terminalList.push_back(
            {row->text(0).toStdString(), row->text(1).toStdString(), row->text(2).toStdString()});
    }
    const BasicPage* basic = m_controls.basic;
    request.clock = basic->readTime->isChecked()  ? admin::ClockDirection::Read
                    : basic->setTime->isChecked() ? admin::ClockDirection::Set
                                                  : admin::ClockDirection::None;
    const PeriodPage* periods = m_controls.periods;
    for (std::size_t i = 0; i < admin::kMeals; ++i) {
        request.periods[i] = {periods->timeChecks[i]->isChecked(), periods->starts[i]->text().toStdString(),
                              periods->ends[i]->text().toStdString()};
        request.amounts[i] = {periods->amountChecks[i]->isChecked(), periods->amounts[i]->text().toStdString()};
    }
    request.modeIndex = basic->mode->currentIndex();
    request.titleUtf8 = basic->title->text().toStdString();
    request.parallelDownload = m_controls.whitelist->parallelDownload->isChecked();
    request.list =
        basic->blackList->isChecked() && !basic->whiteList->isChecked() ? link::CardList::Black : link::CardList::White;
    return request;
}

void AdminCommands::setButtonsEnabled(bool enabled) {
    for (QPushButton* button : m_buttons)
        button->setEnabled(enabled);
}

} // namespace vorlanx::shell
