#include "winshell/DatabaseSettings.h"

#include "ui/Texts.h"

namespace vorlanx::winshell {

using ui::Id;

DatabaseSettings::DatabaseSettings(WindowControls& controls, [[maybe_unused]] HWND window,
                                   [[maybe_unused]] const Dpi& dpi)
    : m_controls(controls) {
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

void DatabaseSettings::kindClicked(Id clicked) {
    const Id other = clicked == Id::SqlServerCheck ? Id::BuiltinCheck : Id::SqlServerCheck;
    if (m_controls.button(clicked).checked())
        m_controls.button(other).setChecked(false);
}

void DatabaseSettings::show(const config::ConnectionSettings& s) {
    m_controls[Id::ServerAddress].setText(s.server);
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
    s.server = m_controls[Id::ServerAddress].text();
    s.name = m_controls[Id::DatabaseName].text();
    s.user = m_controls[Id::UserEdit].text();
    s.password = m_controls[Id::PasswordEdit].text();
    return s;
}

} // namespace vorlanx::winshell
