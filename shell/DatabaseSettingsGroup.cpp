#include "shell/DatabaseSettingsGroup.h"

#include "shell/Widgets.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace vorlanx::shell {

DatabaseSettingsGroup::DatabaseSettingsGroup(QWidget* parent) : QGroupBox(parent) {
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
}

bool DatabaseSettingsGroup::connecting() const {
    return !m_save->isEnabled();
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
