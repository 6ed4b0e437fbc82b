#include "db/ServiceDatabase.h"

#include "tests/config/SettingsTestDir.h"

#include <gtest/gtest.h>

#include <chrono>

#include <string>
#include <thread>
#include <vector>

namespace {

using namespace vorlanx::db;

vorlanx::config::ConnectionSettings builtin(const std::string& name) {
    vorlanx::config::ConnectionSettings s;
    s.kind = vorlanx::config::DatabaseKind::Builtin;
    s.name = name;
    return s;
}

// A canteen's folder may have a Chinese name, which Windows' ANSI code page may not even hold.
TEST(ServiceDatabase, BuiltinKindOpensTheNamedFileInTheServiceDirectory) {
    vorlanx::test::SettingsTestDir dir("vorlanx-servicedb-食堂");
    ServiceDatabase db(dir.path());
    ASSERT_TRUE(db.connectWith(builtin("canteen")));
    EXPECT_TRUE(db.isConnected());
    EXPECT_EQ(db.kind(), vorlanx::config::DatabaseKind::Builtin);
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "canteen.db"));
    auto result = db.runQuery("execute dbo.sp_consume_ykt_whitename;1 @macid = ''");
    EXPECT_TRUE(result.isOpen());
    EXPECT_EQ(result.columns().size(), 4u);
}

TEST(ServiceDatabase, CountsTheBookingBatchesOfTheWholeRunAcrossReconnects) {
    vorlanx::test::SettingsTestDir dir("vorlanx-servicedb");
    ServiceDatabase db(dir.path());
    ASSERT_TRUE(db.connectWith(builtin("canteen")));
    ASSERT_TRUE(db.runQuery("INSERT INTO card_holder (hr_code, hr_name, dept_name, hr_phyid, balance_fen, active) "
                            "VALUES ('0001', 'A', 'B', 12345678, 10000, 1)")
                    .isOpen());
    const std::string payment = "exec sp_consume_ykt_online @rinfo=N'type = online,hexkh =00BC614E,macid =1,rdate "
                                "=2020-05-08,rtime =10:05:03,cardno =12345678,xfmoney =250,'";
    EXPECT_EQ(db.runQuery(payment).fieldText("col1"), "00");
    ASSERT_TRUE(db.connectWith(builtin("canteen")));
    EXPECT_EQ(db.runQuery(payment).fieldText("col1"), "00");
    const BatchStats stats = db.bookingBatches();
    EXPECT_EQ(stats.batches, 2u);
    EXPECT_EQ(stats.bookings, 2u);
    EXPECT_EQ(stats.largest, 1u);
    EXPECT_DOUBLE_EQ(stats.mean(), 1.0);
}

TEST(ServiceDatabase, NoDatabaseSelectedOrAFailedConnectLeavesNoConnection) {
    vorlanx::test::SettingsTestDir dir("vorlanx-servicedb");
    ServiceDatabase db(dir.path());
    ASSERT_TRUE(db.connectWith(builtin("canteen")));
    vorlanx::config::ConnectionSettings none;
    none.kind = vorlanx::config::DatabaseKind::None;
    EXPECT_FALSE(db.connectWith(none));
    EXPECT_FALSE(db.isConnected());
    EXPECT_EQ(db.kind(), vorlanx::config::DatabaseKind::None);
    EXPECT_FALSE(db.runQuery("select 1").isOpen());

    // A file that cannot be created: its directory is a plain file.
    std::ofstream(dir.path() / "blocker") << "x";
    EXPECT_FALSE(db.connectWith(builtin((dir.path() / "blocker" / "inner.db").string())));
    EXPECT_FALSE(db.isConnected());
}

TEST(ServiceDatabase, JobsKeepRunningWhileTheConnectionIsSwapped) {
    vorlanx::test::SettingsTestDir dir("vorlanx-servicedb");
    ServiceDatabase db(dir.path());
    ASSERT_TRUE(db.connectWith(builtin("first")));
    std::atomic<bool> stop{false};
    std::atomic<int> answered{0};
    std::vector<std::thread> jobs;
    for (int i = 0; i < 3; ++i)
        jobs.emplace_back([&] {
            while (!stop) {
                if (db.runQuery("execute dbo.sp_consume_ykt_whitename;1 @macid = ''").isOpen())
                    ++answered;
            }
        });
    // Each new connection answers the jobs that were running all along; on a loaded machine the
    // threads may take a while to get a query in, so each swap waits for one, generously.
    bool eachAnswered = true;
    for (int i = 0; i < 5 && eachAnswered; ++i) {
        ASSERT_TRUE(db.connectWith(builtin(i % 2 ? "first" : "second")));
        const int before = answered.load();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (answered.load() <= before + 1 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        eachAnswered = answered.load() > before + 1;
    }
    stop = true;
    for (auto& t : jobs)
        t.join();
    EXPECT_TRUE(eachAnswered) << answered.load() << " answered";
    EXPECT_TRUE(db.isConnected());
}

} // namespace
