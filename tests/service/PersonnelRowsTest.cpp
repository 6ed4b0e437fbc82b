// The personnel list that the white-list download sends, over a real database file: it never
// shrinks because a load is under way or has failed.

#include "service/PersonnelRows.h"

#include "db/BuiltinDatabase.h"
#include "db/BuiltinDatabaseAdmin.h"
#include "txn/PersonnelSource.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <random>
#include <sstream>

namespace {

using namespace std::chrono_literals;
using namespace vorlanx;

// Holds the load's worker at its first row while armed, so that the test can look at the list
// in the middle of a load.
class RowGate : public txn::PersonnelListener {
public:
    void arm() {
        std::lock_guard lock(m_mutex);
        m_armed = true;
        m_reached = false;
    }
    bool waitReached() {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 5s, [&] { return m_reached; });
    }
    void release() {
        std::lock_guard lock(m_mutex);
        m_armed = false;
        m_changed.notify_all();
    }
    void personnelRefreshStarted(const std::string&) override {}
    void personnelListCleared() override {}
    void personnelRowAdded(const txn::PersonnelRow&, const std::string&) override {
        std::unique_lock lock(m_mutex);
        m_reached = true;
        m_changed.notify_all();
        m_changed.wait_for(lock, 10s, [&] { return !m_armed; });
    }
    void personnelListLoaded(std::size_t, const std::string&) override {}

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_armed = false;
    bool m_reached = false;
};

TEST(PersonnelRows, TheListInForceStaysDuringALoadAndAfterAFailedOne) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("vorlanx-personnel-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "canteen.db").string();
    db::BuiltinDatabaseAdmin admin;
    ASSERT_TRUE(admin.open(file));
    std::istringstream three("0001,张三,食堂部,1001,100\n0002,李四,财务部,1002,100\n0003,王五,研发部,1003,100\n");
    ASSERT_TRUE(admin.importCsv(three).ok);
    db::BuiltinDatabase database;
    ASSERT_TRUE(database.open(file));
    RowGate gate;
    service::PersonnelRows rows(gate);
    {
        txn::PersonnelSource source(database, rows);
        source.loadPersonnelList("");
        ASSERT_TRUE(source.waitIdle(5s));
        ASSERT_EQ(rows.size(), 3u);

        // A download that starts while the next load runs sends the last complete list.
        std::istringstream fourth("0004,赵六,研发部,1004,100\n");
        ASSERT_TRUE(admin.importCsv(fourth).ok);
        gate.arm();
        source.loadPersonnelList("");
        ASSERT_TRUE(gate.waitReached());
        EXPECT_EQ(rows.rows().size(), 3u) << "the list shrank while a load ran";
        gate.release();
        ASSERT_TRUE(source.waitIdle(5s));
        EXPECT_EQ(rows.size(), 4u);

        // The database goes away: the load fails, and the four rows stay.
        database.disconnect();
        source.loadPersonnelList("");
        ASSERT_TRUE(source.waitIdle(5s));
        EXPECT_EQ(rows.size(), 4u) << "a failed load emptied the list";
        EXPECT_TRUE(rows.lastLoadFailed());
        EXPECT_EQ(rows.rows().back().code, "0004");
    }
    std::error_code error;
    std::filesystem::remove_all(dir, error);
}

} // namespace
