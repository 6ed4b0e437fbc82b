#include "config/ConnectionSettingsSave.h"

#include "link/DebugLog.h"
#include "config/IniFile.h"
#include "config/SettingsTexts.h"

namespace vorlanx::config {

namespace {

// "type" first and then the four values, in the order the window's boxes stand.
void writeSettings(const std::filesystem::path& serviceDir, const ConnectionSettings& settings) {
    const IniFile file(configFilePath(serviceDir));
    bool written = file.writeValue("sername", "type", typeText(settings.kind));
    written = file.writeValue("mssql", "服务", settings.server) && written;
    written = file.writeValue("mssql", "名称", settings.name) && written;
    written = file.writeValue("mssql", "用户", settings.user) && written;
    written = file.writeValue("mssql", "密码", settings.password) && written;
    if (!written)
        link::debugLog("conf.ini", "database settings not saved completely");
}

ConnectionSettingsSave outcome(ConnectionSettingsSave::Outcome result, std::optional<std::string_view> message,
                               bool restart = false) {
    ConnectionSettingsSave save;
    save.outcome = result;
    if (message)
        save.message = std::string(*message);
    save.restart = restart;
    return save;
}

} // namespace

std::optional<std::string> checkConnectionSettings(const ConnectionSettings& settings) {
    // The built-in database is a file named by the name box; the other boxes do not apply to it.
    const bool builtin = settings.kind == DatabaseKind::Builtin;
    if (!builtin && !isServerAddress(settings.server))
        return std::string(kServerMissingText);
    if (settings.name.empty())
        return std::string(kNameMissingText);
    if (!builtin && settings.user.empty())
        return std::string(kUserMissingText);
    if (!builtin && settings.password.empty())
        return std::string(kPasswordMissingText);
    return std::nullopt;
}

ConnectionSettingsSave finishDatabaseSave(const std::filesystem::path& serviceDir, const ConnectionSettings& settings,
                                          bool connected) {
    using Outcome = ConnectionSettingsSave::Outcome;
    if (settings.kind == DatabaseKind::None) {
        writeSettings(serviceDir, settings);
        return outcome(Outcome::SavedWithoutConnecting, std::nullopt);
    }
    // Settings that do not connect never reach the file, so the next start still finds the last
    // working ones.
    if (!connected)
        return outcome(Outcome::ConnectFailed, kConnectFailedText);
    writeSettings(serviceDir, settings);
    return outcome(Outcome::Connected, kConnectedText, true);
}

ConnectionSettingsSave saveDatabaseSettings(const std::filesystem::path& serviceDir, const ConnectionSettings& settings,
                                            const ConnectFunction& connect) {
    if (auto refusal = checkConnectionSettings(settings)) {
        ConnectionSettingsSave save;
        save.message = std::move(refusal);
        return save;
    }
    const bool connected = settings.kind != DatabaseKind::None && connect && connect(settings);
    return finishDatabaseSave(serviceDir, settings, connected);
}

} // namespace vorlanx::config
