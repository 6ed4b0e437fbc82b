#include "config/ConnectionSettingsLoad.h"

#include "config/IniFile.h"
#include "config/SettingsTexts.h"

#include <charconv>

namespace vorlanx::config {

namespace {

int readSeconds(const std::filesystem::path& serviceDir, const char* key, int fallback) {
    const std::string text = IniFile(configFilePath(serviceDir)).readValue("mssql", key);
    int seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || seconds < 1 || seconds > 3600)
        return fallback;
    return seconds;
}

} // namespace

int readCommandTimeout(const std::filesystem::path& serviceDir) {
    return readSeconds(serviceDir, "timeout", kDefaultCommandTimeoutSeconds);
}

int readQueueWait(const std::filesystem::path& serviceDir) {
    return readSeconds(serviceDir, "queuewait", kDefaultQueueWaitSeconds);
}

void ConnectionSettingsLoad::applyConnectResult(bool ok) {
    connected = ok;
    statusText = std::string(ok ? kConnectedText : kConnectFailedText);
}

ConnectionSettingsLoad readDatabaseSettings(const std::filesystem::path& serviceDir) {
    const IniFile file(configFilePath(serviceDir));
    const std::string type = file.readValue("sername", "type");
    ConnectionSettingsLoad load;
    if (type == typeText(DatabaseKind::SqlServer) || type == typeText(DatabaseKind::Builtin)) {
        ConnectionSettings settings;
        settings.kind = type == typeText(DatabaseKind::Builtin) ? DatabaseKind::Builtin : DatabaseKind::SqlServer;
        settings.server = file.readValue("mssql", "服务");
        settings.name = file.readValue("mssql", "名称");
        settings.user = file.readValue("mssql", "用户");
        settings.password = file.readValue("mssql", "密码");
        load.shown = settings;
        load.connectNeeded = true;
    } else if (type == typeText(DatabaseKind::None)) {
        // The values stored with "0" are not shown: the boxes keep their initial texts.
        ConnectionSettings settings;
        settings.kind = DatabaseKind::None;
        load.shown = settings;
    } else if (type.empty()) {
        load.shown = ConnectionSettings{};
        load.statusText = std::string(kConnectFailedText);
        load.operationText = std::string(kNoSettingsContactText);
    }
    // Any other "type" is a file edited by hand into something unknown; start-up leaves the
    // group as it is and does not connect.
    return load;
}

ConnectionSettingsLoad loadDatabaseSettings(const std::filesystem::path& serviceDir, const ConnectFunction& connect) {
    ConnectionSettingsLoad load = readDatabaseSettings(serviceDir);
    if (load.connectNeeded)
        load.applyConnectResult(connect && connect(*load.shown));
    return load;
}

} // namespace vorlanx::config
