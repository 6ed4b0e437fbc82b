#include "shell/DatabaseSettingsGroup.h"

#include "config/ConnectionSettingsLoad.h"
#include "config/ConnectionSettingsSave.h"
#include "service/VorlanxService.h"
#include "shell/MessageBox.h"
#include "shell/StatusPanels.h"
#include "shell/Widgets.h"
#include "ui/Texts.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace vorlanx::shell {

DatabaseSettingsGroup::DatabaseSettingsGroup(service::VorlanxService& service, StatusPanels& status, QWidget* parent)
    : QGroupBox(parent), m_service(service), m_status(status) {
    using ui::Id;
    tagControl(this, Id::DatabaseGroup);
    setTitle(captionOf(Id::DatabaseGroup));
    m_server = makeLineEdit(Id::ServerAddress, this);
    m_name = makeLineEdit(Id::DatabaseName, this);
    m_user = makeLineEdit(Id::UserEdit, this);
    m_password = makeLineEdit(Id::PasswordEdit, this);
    m_sqlServer = makeCheck(Id::SqlServerCheck, this);
    m_builtin = makeCheck(Id::BuiltinCheck, this);
    m_save = makeButton(Id::SaveDatabaseButton, this);

    // At most one database kind is ticked; both may be cleared (no database).
    connect(m_sqlServer, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            m_builtin->setChecked(false);
    });
    connect(m_builtin, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            m_sqlServer->setChecked(false);
    });

    auto* kinds = new QHBoxLayout;
    kinds->addWidget(m_sqlServer);
    kinds->addWidget(m_builtin);
    auto* form = new QFormLayout(this);
    form->setContentsMargins(6, 4, 6, 4);
    form->setVerticalSpacing(4);
    // The form makes the labels; they are tagged afterwards so that a walk of the window finds them.
    const std::pair<Id, QLineEdit*> rows[] = {
        {Id::ServerLabel, m_server}, {Id::NameLabel, m_name}, {Id::UserLabel, m_user}, {Id::PasswordLabel, m_password}};
    for (const auto& [label, field] : rows) {
        form->addRow(captionOf(label), field);
        tagControl(form->labelForField(field), label);
    }
    form->addRow(kinds);
    form->addRow(m_save);

    connect(m_save, &QPushButton::clicked, this, &DatabaseSettingsGroup::saveSettings);
}

void DatabaseSettingsGroup::loadAtStartup() {
    const auto load = m_service.startUp(m_hooks.machineText ? m_hooks.machineText() : std::string());
    if (load.shown)
        show(*load.shown);
    if (load.statusText)
        m_status.setPanel(StatusPanels::kStatus, QString::fromStdString(*load.statusText));
    if (load.operationText)
        m_status.setPanel(StatusPanels::kOperation, QString::fromStdString(*load.operationText));
    if (load.connectNeeded && load.shown)
        setConnecting(true);
}

void DatabaseSettingsGroup::startupConnectFinished(bool, const std::optional<QString>& statusText) {
    setConnecting(false);
    if (statusText)
        m_status.setPanel(StatusPanels::kStatus, *statusText);
}

void DatabaseSettingsGroup::saveSettings() {
    if (m_connecting)
        return;
    const config::ConnectionSettings s = settings();
    if (const auto refused = m_service.saveDatabaseSettings(s)) {
        showMessage(QString::fromStdString(*refused));
        return;
    }
    if (s.kind != config::DatabaseKind::None)
        setConnecting(true);
}

void DatabaseSettingsGroup::databaseSaveFinished(const std::optional<QString>& message, bool restart) {
    setConnecting(false);
    if (message)
        showMessage(*message);
    if (restart && m_hooks.restart)
        m_hooks.restart();
}

void DatabaseSettingsGroup::setConnecting(bool connecting) {
    m_connecting = connecting;
    m_save->setEnabled(!connecting);
}

void DatabaseSettingsGroup::showMessage(const QString& text) {
    MessageBox::information(nullptr, qText(ui::kMessageTitle), text);
}

void DatabaseSettingsGroup::show(const config::ConnectionSettings& s) {
    m_server->setText(QString::fromStdString(s.server));
    m_name->setText(QString::fromStdString(s.name));
    m_user->setText(QString::fromStdString(s.user));
    m_password->setText(QString::fromStdString(s.password));
    m_sqlServer->setChecked(s.kind == config::DatabaseKind::SqlServer);
    m_builtin->setChecked(s.kind == config::DatabaseKind::Builtin);
}

config::ConnectionSettings DatabaseSettingsGroup::settings() const {
    config::ConnectionSettings s;
    s.kind = m_sqlServer->isChecked() ? config::DatabaseKind::SqlServer
             : m_builtin->isChecked() ? config::DatabaseKind::Builtin
                                      : config::DatabaseKind::None;
    s.server = m_server->text().toStdString();
    s.name = m_name->text().toStdString();
    s.user = m_user->text().toStdString();
    s.password = m_password->text().toStdString();
    return s;
}

} // namespace vorlanx::shell
