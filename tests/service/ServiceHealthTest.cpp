// What a supervisor sees of the running service: the watchdog's sign of life and a reload.

#include "service/VorlanxService.h"

#include "tests/config/SettingsTestDir.h"
#include "tests/support/FakeTerminal.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace {

using namespace std::chrono_literals;
using namespace vorlanx;

TEST(ServiceHealth, AliveOnlyWhileListening) {
    test::SettingsTestDir dir("vorlanx-health");
    service::VorlanxService service({dir.path(), [] { return false; }});
    EXPECT_FALSE(service.alive(5s)) << "no receive worker to vouch for";
    ASSERT_TRUE(service.startListening(test::freeUdpPort()).listening);
    // The receive worker goes round at least every 200 ms and the heartbeat job runs at once.
    for (int round = 0; round < 5; ++round) {
        EXPECT_TRUE(service.alive(5s));
        std::this_thread::sleep_for(50ms);
    }
    service.stopListening();
    EXPECT_FALSE(service.alive(5s));
}

TEST(ServiceHealth, ReloadWithoutConfIniLeavesTheDatabaseAlone) {
    test::SettingsTestDir dir("vorlanx-health");
    service::VorlanxService service({dir.path(), [] { return false; }});
    const service::ReloadResult result = service.reload(5s);
    EXPECT_FALSE(result.settingsRead);
    EXPECT_EQ(result.database, service::ReloadResult::DatabaseStep::LeftAlone);
    EXPECT_FALSE(result.connected);
    EXPECT_FALSE(result.personnelRows);
    EXPECT_EQ(
        result.summary(),
        "conf.ini selects no known database; database left as it was, not connected; personnel list not reloaded; "
        "conf.ini cannot be read, the senders served stay as they were");
}

// A missing conf.ini at a reload reads as no allow-list at all; serving everyone then would open
// the service to every sender on the network.
TEST(ServiceHealth, ReloadWithoutConfIniKeepsTheAllowList) {
    test::SettingsTestDir dir("vorlanx-health");
    dir.write(dir.confIni(), "[terminals]\r\nallow=127.0.0.2\r\n");
    service::VorlanxService service({dir.path(), [] { return false; }});
    ASSERT_FALSE(service.applyAllowList());
    const std::uint16_t port = test::freeUdpPort();
    ASSERT_TRUE(service.startListening(port).listening);
    std::filesystem::remove(dir.confIni());

    const service::ReloadResult result = service.reload(5s);
    EXPECT_NE(result.summary().find("the senders served stay as they were"), std::string::npos) << result.summary();
    test::FakeTerminal listed("127.0.0.2");
    test::FakeTerminal outsider("127.0.0.1");
    listed.send(port, "FE01004E00057400112233442A5B");
    outsider.send(port, "FE01004E00057400112233442A5B");
    EXPECT_EQ(listed.inbox.next(5s), "FE01004E000181F2D8");
    EXPECT_FALSE(outsider.inbox.next(500ms)) << "an unlisted sender is served after the reload";
    service.stopListening();
}

TEST(ServiceHealth, ReloadWithNoDatabaseSelectedDisconnects) {
    test::SettingsTestDir dir("vorlanx-health");
    dir.write(dir.confIni(), "[sername]\r\ntype=0\r\n");
    service::VorlanxService service({dir.path(), [] { return false; }});
    const service::ReloadResult result = service.reload(5s);
    EXPECT_TRUE(result.settingsRead);
    EXPECT_EQ(result.database, service::ReloadResult::DatabaseStep::Disconnected);
    EXPECT_TRUE(result.finished);
}

} // namespace
