#include "winshell/DatabaseSettings.h"

#include "service/VorlanxService.h"
#include "ui/Texts.h"
#include "winshell/MessageBox.h"

namespace vorlanx::winshell {

using ui::Id;

DatabaseSettings::DatabaseSettings(service::VorlanxService& service, WindowControls& controls, HWND window, Hooks hooks,
                                   [[maybe_unused]] const Dpi& dpi)
    : m_service(service), m_controls(controls), m_window(window), m_hooks(std::move(hooks)) {
#if !VORLANX_BUILTIN_DATABASE
    m_controls[Id::BuiltinCheck].setEnabled(false);
    // Under the group, across the page's width.
    const Box group = m_controls[Id::DatabaseGroup].box();
    ControlDesc note;
    note.className = L"Static";
    note.text = std::string(ui::kNoBuiltinDatabaseText);
    note.box = {group.x, group.y + group.h + 6, group.w, 36};
    note.style = WS_CLIPSIBLINGS | SS_LEFT | SS_NOPREFIX;
    auto label = std::make_unique<Label>();
    if (label->create(window, note, dpi))
        controls.addPageControl(ui::Page::DataConfig, std::move(label));
#endif
}

void DatabaseSettings::loadAtStartup() {
    const auto load = m_service.startUp(m_hooks.machineText ? m_hooks.machineText() : std::string());
    if (load.shown)
        show(*load.shown);
    if (load.statusText)
        m_controls.statusBar().setPanel(ui::kStatusPanel, *load.statusText);
    if (load.operationText)
        m_controls.statusBar().setPanel(ui::kOperationPanel, *load.operationText);
    if (load.connectNeeded && load.shown)
        setConnecting(true);
}

void DatabaseSettings::startupConnectFinished(const std::optional<std::string>& statusText) {
    setConnecting(false);
    if (statusText)
        m_controls.statusBar().setPanel(ui::kStatusPanel, *statusText);
}

void DatabaseSettings::saveSettings() {
    if (m_connecting)
        return;
    const config::ConnectionSettings s = settings();
    if (const auto refused = m_service.saveDatabaseSettings(s)) {
        showMessage(m_window, ui::kMessageTitle, *refused);
        return;
    }
    if (s.kind != config::DatabaseKind::None)
        setConnecting(true);
}

void DatabaseSettings::databaseSaveFinished(const std::optional<std::string>& message, bool restart) {
    setConnecting(false);
    if (message)
        showMessage(m_window, ui::kMessageTitle, *message);
    if (restart && m_hooks.restart)
        m_hooks.restart();
}

void DatabaseSettings::kindClicked(Id clicked) {
    const Id other = clicked == Id::SqlServerCheck ? Id::BuiltinCheck : Id::SqlServerCheck;
    if (m_controls.button(clicked).checked())
        m_controls.button(other).setChecked(false);
}

void DatabaseSettings::setConnecting(bool connecting) {
    m_connecting = connecting;
    m_controls[Id::SaveDatabaseButton].setEnabled(!connecting);
}

void DatabaseSettings::show(const config::ConnectionSettings& s) {
    m_controls.address(Id::ServerAddress).setAddress(s.server);
    m_controls[Id::DatabaseName].setText(s.name);
    m_controls[Id::UserEdit].setText(s.user);
    m_controls[Id::PasswordEdit].setText(s.password);
    m_controls.button(Id::SqlServerCheck).setChecked(s.kind == config::DatabaseKind::SqlServer);
    m_controls.button(Id::BuiltinCheck).setChecked(s.kind == config::DatabaseKind::Builtin);
}

config::ConnectionSettings DatabaseSettings::settings() const {
    config::ConnectionSettings s;
    s.kind = m_controls.button(Id::SqlServerCheck).checked() ? config::DatabaseKind::SqlServer
             : m_controls.button(Id::BuiltinCheck).checked() ? config::DatabaseKind::Builtin
                                                             : config::DatabaseKind::None;
    s.server = m_controls.shownText(Id::ServerAddress);
    s.name = m_controls[Id::DatabaseName].text();
    s.user = m_controls[Id::UserEdit].text();
    s.password = m_controls[Id::PasswordEdit].text();
    return s;
}

} // namespace vorlanx::winshell
