#include "config/ConnectionSettingsLoad.h"
#include "config/ConnectionSettingsSave.h"
#include "config/SettingsTexts.h"

#include "tests/config/SettingsTestDir.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace vorlanx::config;
using vorlanx::test::SettingsTestDir;
using Outcome = ConnectionSettingsSave::Outcome;

// A connect that records what it was asked and answers as told.
struct FakeConnect {
    bool answer = true;
    std::vector<ConnectionSettings> calls;

    ConnectFunction function() {
        return [this](const ConnectionSettings& settings) {
            calls.push_back(settings);
            return answer;
        };
    }
};

// A conf.ini as an engineer writes it by hand in a GBK editor.
std::string handWrittenFile(std::string_view type) {
    return "[sername]\r\ntype=" + std::string(type) +
           "\r\n[mssql]\r\n"
           "\xB7\xFE\xCE\xF1=192.168.1.20\r\n"     // 服务
           "\xC3\xFB\xB3\xC6=\xCA\xB3\xCC\xC3\r\n" // 名称=食堂
           "\xD3\xC3\xBB\xA7=pos\r\n"              // 用户
           "\xC3\xDC\xC2\xEB=secret\r\n";          // 密码
}

ConnectionSettings filledBoxes(DatabaseKind kind) {
    return ConnectionSettings{kind, "192.168.1.20", "食堂", "pos", "secret"};
}

TEST(LoadDatabaseSettings, NoFileShowsDefaultsFailedStatusAndContactTextWithoutConnecting) {
    SettingsTestDir dir;
    FakeConnect connect;
    const ConnectionSettingsLoad load = loadDatabaseSettings(dir.path(), connect.function());

    ASSERT_TRUE(load.shown.has_value());
    EXPECT_EQ(*load.shown, (ConnectionSettings{DatabaseKind::SqlServer, "127.0.0.1", "", "sa", "468"}));
    EXPECT_EQ(load.statusText, "A连接失败");
    EXPECT_EQ(load.operationText, std::string(kNoSettingsContactText));
    EXPECT_FALSE(load.connected);
    EXPECT_TRUE(connect.calls.empty());
}

TEST(LoadDatabaseSettings, HandWrittenGbkFileConnectsWithItsValues) {
    SettingsTestDir dir;
    dir.write(dir.confIni(), handWrittenFile("1"));
    FakeConnect connect;
    const ConnectionSettingsLoad load = loadDatabaseSettings(dir.path(), connect.function());

    ASSERT_EQ(connect.calls.size(), 1u);
    EXPECT_EQ(connect.calls[0], filledBoxes(DatabaseKind::SqlServer));
    EXPECT_EQ(load.shown, filledBoxes(DatabaseKind::SqlServer));
    EXPECT_EQ(load.statusText, "A连接成功");
    EXPECT_FALSE(load.operationText.has_value());
    EXPECT_TRUE(load.connected);
}

TEST(LoadDatabaseSettings, FailedConnectShowsFailedStatusAndLoadsNoPersonnel) {
    SettingsTestDir dir;
    dir.write(dir.confIni(), handWrittenFile("1"));
    FakeConnect connect{false, {}};
    const ConnectionSettingsLoad load = loadDatabaseSettings(dir.path(), connect.function());
    EXPECT_EQ(load.statusText, "A连接失败");
    EXPECT_FALSE(load.connected);
    EXPECT_EQ(load.shown, filledBoxes(DatabaseKind::SqlServer));
}

TEST(LoadDatabaseSettings, TypeTwoSelectsTheBuiltinDatabase) {
    SettingsTestDir dir;
    dir.write(dir.confIni(), handWrittenFile("2"));
    FakeConnect connect;
    const ConnectionSettingsLoad load = loadDatabaseSettings(dir.path(), connect.function());
    ASSERT_EQ(connect.calls.size(), 1u);
    EXPECT_EQ(connect.calls[0].kind, DatabaseKind::Builtin);
    EXPECT_EQ(connect.calls[0].name, "食堂");
    EXPECT_EQ(load.statusText, "A连接成功");
    EXPECT_TRUE(load.connected);
}

TEST(LoadDatabaseSettings, TypeZeroClearsTheCheckBoxesKeepsTheInitialBoxesAndDoesNotConnect) {
    SettingsTestDir dir;
    dir.write(dir.confIni(), handWrittenFile("0"));
    FakeConnect connect;
    const ConnectionSettingsLoad load = loadDatabaseSettings(dir.path(), connect.function());
    EXPECT_TRUE(connect.calls.empty());
    EXPECT_EQ(load.shown, (ConnectionSettings{DatabaseKind::None, "127.0.0.1", "", "sa", "468"}));
    EXPECT_FALSE(load.statusText.has_value());
    EXPECT_FALSE(load.operationText.has_value());
    EXPECT_FALSE(load.connected);
}

TEST(LoadDatabaseSettings, UnknownTypeChangesNothing) {
    SettingsTestDir dir;
    dir.write(dir.confIni(), handWrittenFile("7"));
    FakeConnect connect;
    const ConnectionSettingsLoad load = loadDatabaseSettings(dir.path(), connect.function());
    EXPECT_TRUE(connect.calls.empty());
    EXPECT_FALSE(load.shown.has_value());
    EXPECT_FALSE(load.statusText.has_value());
    EXPECT_FALSE(load.operationText.has_value());
}

TEST(SaveDatabaseSettings, EachEmptyBoxIsRefusedWithItsMessageInBoxOrder) {
    SettingsTestDir dir;
    FakeConnect connect;
    ConnectionSettings boxes{DatabaseKind::SqlServer, "", "", "", ""};
    const std::vector<std::pair<std::string ConnectionSettings::*, std::string>> order = {
        {&ConnectionSettings::server, "服务地址错误"},
        {&ConnectionSettings::name, "数据库名称错误"},
        {&ConnectionSettings::user, "登录用户错误"},
        {&ConnectionSettings::password, "密码错误"},
    };
    for (const auto& [box, message] : order) {
        const ConnectionSettingsSave save = saveDatabaseSettings(dir.path(), boxes, connect.function());
        EXPECT_EQ(save.outcome, Outcome::Refused);
        EXPECT_EQ(save.message, message);
        EXPECT_FALSE(save.restart);
        boxes.*box = "x";
    }
    EXPECT_TRUE(connect.calls.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.confIni()));
    EXPECT_EQ(kMessageTitle, "信息：");
}

TEST(SaveDatabaseSettings, ServerAddressTakesWhatSqlServerClientsTakeAndRefusesTheRest) {
    for (const char* good : {"192.168.10.5", "127.0.0.1,14330", "db-host", "db-host.canteen.local,1433",
                             "HOST\\SQLEXPRESS", "HOST\\SQLEXPRESS,50123", ".\\SQLEXPRESS", "(local)", "10.0.0.1\\A_1"})
        EXPECT_TRUE(isServerAddress(good)) << good;
    for (const char* bad :
         {"", " 10.0.0.1", "10.0.0.1 ", "10.0.0", "10.0.0.256", "10.0..1", "host,", "host,0", "host,65536", "host,14a",
          "HOST\\", "HOST\\SQL EXPRESS", "\\SQLEXPRESS", "db host", "host.", "a,b,1433", "http://host"})
        EXPECT_FALSE(isServerAddress(bad)) << bad;
    SettingsTestDir dir;
    FakeConnect connect;
    const ConnectionSettingsSave save =
        saveDatabaseSettings(dir.path(), {DatabaseKind::None, "10.0.0.1,70000", "db", "sa", "pw"}, connect.function());
    EXPECT_EQ(save.outcome, Outcome::Refused);
    EXPECT_EQ(save.message, "服务地址错误");
    EXPECT_FALSE(std::filesystem::exists(dir.confIni()));
}

TEST(SaveDatabaseSettings, ClearedCheckBoxWritesTypeZeroAndTheFourValuesWithoutConnecting) {
    SettingsTestDir dir;
    FakeConnect connect;
    const ConnectionSettingsSave save =
        saveDatabaseSettings(dir.path(), filledBoxes(DatabaseKind::None), connect.function());
    EXPECT_EQ(save.outcome, Outcome::SavedWithoutConnecting);
    EXPECT_FALSE(save.message.has_value());
    EXPECT_FALSE(save.restart);
    EXPECT_TRUE(connect.calls.empty());
    EXPECT_EQ(SettingsTestDir::read(dir.confIni()), handWrittenFile("0"));
}

TEST(SaveDatabaseSettings, FailedConnectShowsOnlyTheMessageAndLeavesTheFileUnchanged) {
    SettingsTestDir dir;
    const std::string before = "; saved last week\r\n" + handWrittenFile("1");
    dir.write(dir.confIni(), before);
    FakeConnect connect{false, {}};
    ConnectionSettings boxes = filledBoxes(DatabaseKind::SqlServer);
    boxes.server = "10.9.9.9";
    const ConnectionSettingsSave save = saveDatabaseSettings(dir.path(), boxes, connect.function());
    EXPECT_EQ(save.outcome, Outcome::ConnectFailed);
    EXPECT_EQ(save.message, "A连接失败");
    EXPECT_FALSE(save.restart);
    ASSERT_EQ(connect.calls.size(), 1u);
    EXPECT_EQ(connect.calls[0], boxes);
    EXPECT_EQ(SettingsTestDir::read(dir.confIni()), before);
}

TEST(SaveDatabaseSettings, ConnectedSaveWritesTypeOneAndAsksForTheRestart) {
    SettingsTestDir dir;
    FakeConnect connect;
    const ConnectionSettingsSave save =
        saveDatabaseSettings(dir.path(), filledBoxes(DatabaseKind::SqlServer), connect.function());
    EXPECT_EQ(save.outcome, Outcome::Connected);
    EXPECT_EQ(save.message, "A连接成功");
    EXPECT_TRUE(save.restart);
    EXPECT_EQ(kSaveRestartDelay, 3);
    EXPECT_EQ(SettingsTestDir::read(dir.confIni()), handWrittenFile("1"));

    // The next start finds what was saved and connects with it.
    FakeConnect next;
    EXPECT_TRUE(loadDatabaseSettings(dir.path(), next.function()).connected);
    ASSERT_EQ(next.calls.size(), 1u);
    EXPECT_EQ(next.calls[0], filledBoxes(DatabaseKind::SqlServer));
}

TEST(SaveDatabaseSettings, BuiltinDatabaseNeedsOnlyItsNameAndWritesTypeTwo) {
    SettingsTestDir dir;
    FakeConnect connect;
    const ConnectionSettings boxes{DatabaseKind::Builtin, "", "canteen", "", ""};
    const ConnectionSettingsSave save = saveDatabaseSettings(dir.path(), boxes, connect.function());
    EXPECT_EQ(save.outcome, Outcome::Connected);
    EXPECT_TRUE(save.restart);
    EXPECT_EQ(SettingsTestDir::read(dir.confIni()),
              "[sername]\r\ntype=2\r\n[mssql]\r\n\xB7\xFE\xCE\xF1=\r\n\xC3\xFB\xB3\xC6=canteen\r\n"
              "\xD3\xC3\xBB\xA7=\r\n\xC3\xDC\xC2\xEB=\r\n");

    const ConnectionSettingsSave unnamed = saveDatabaseSettings(
        dir.path(), ConnectionSettings{DatabaseKind::Builtin, "1.2.3.4", "", "sa", "468"}, connect.function());
    EXPECT_EQ(unnamed.outcome, Outcome::Refused);
    EXPECT_EQ(unnamed.message, "数据库名称错误");
}

TEST(BuiltinDatabaseFile, NameBecomesAFileInTheServiceDirectoryUnlessItIsADbPath) {
    const std::filesystem::path dir = "/srv/vorlanx";
    EXPECT_EQ(builtinDatabaseFile(dir, "canteen"), dir / "canteen.db");
    EXPECT_EQ(builtinDatabaseFile(dir, "/var/lib/canteen.db"), std::filesystem::path("/var/lib/canteen.db"));
    EXPECT_EQ(builtinDatabaseFile(dir, "data/canteen.DB"), dir / "data/canteen.DB");
    EXPECT_EQ(builtinDatabaseFile(dir, "canteen.dbx"), dir / "canteen.dbx.db");
}

} // namespace
