#include "shell/AdminCommands.h"

#include "service/VorlanxService.h"
#include "shell/AppendBox.h"
#include "shell/BasicPage.h"
#include "shell/MessageBox.h"
#include "shell/PeriodPage.h"
#include "shell/ServiceBridge.h"
#include "shell/StatusPanels.h"
#include "shell/TimeField.h"
#include "shell/WhitelistPage.h"
#include "shell/Widgets.h"
#include "ui/AdminCommand.h"
#include "ui/Texts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

namespace vorlanx::shell {

using admin::CommandKind;
using admin::Shape;

AdminCommands::AdminCommands(service::VorlanxService& service, ServiceBridge& bridge, Controls controls,
                             QObject* parent)
    : QObject(parent), m_service(service), m_bridge(bridge), m_controls(controls) {
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
    whitelist->parallelDownload->setChecked(m_service.parallelDownload());
    connect(whitelist->parallelDownload, &QCheckBox::toggled, this,
            [this](bool on) { m_service.setParallelDownload(on); });
}

void AdminCommands::wire(QPushButton* button, CommandKind kind, Shape shape) {
    m_buttons.push_back(button);
    connect(button, &QPushButton::clicked, this, [this, kind, shape] { run(kind, shape); });
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

void AdminCommands::run(CommandKind kind, Shape shape) {
    if (m_running)
        return;
    const admin::PreparedCommand prepared =
        m_service.runCommand(readControls(kind, shape), [this](const admin::PreparedCommand& shown) {
            if (shown.caption)
                m_controls.resultGroup->setTitle(QString::fromStdString(*shown.caption));
            if (shown.clearResults) {
                // Answers still queued for the window belong to the box before it was cleared, so
                // that no stale line or count shows after the "0".
                m_bridge.drain();
                m_controls.results->clearText();
                m_controls.successCount->setText(QStringLiteral("0"));
            }
            // Set before the first frame leaves: the report of the command's end comes after this.
            if (shown.runs()) {
                m_running = true;
                setButtonsEnabled(false);
            }
        });
    if (m_running && !prepared.runs()) {
        // The runner refused it after all.
        m_running = false;
        setButtonsEnabled(true);
    }
    if (prepared.message)
        MessageBox::information(m_controls.resultGroup->window(), qText(ui::kMessageTitle),
                                QString::fromStdString(*prepared.message));
}

void AdminCommands::commandFinished(bool, const std::optional<QString>& statusText) {
    m_running = false;
    setButtonsEnabled(true);
    if (statusText)
        m_controls.status->setPanel(StatusPanels::kStatus, *statusText);
}

void AdminCommands::setButtonsEnabled(bool enabled) {
    for (QPushButton* button : m_buttons)
        button->setEnabled(enabled);
}

} // namespace vorlanx::shell
