#include "txn/PersonnelSource.h"

#include "TransactionTestKit.h"
#include "db/ServiceDatabase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace vorlanx::txn {
namespace {

using namespace test;

// The personnel list, count label and operation panel as the window keeps them, plus every
// event in order.
class ListView : public PersonnelListener {
public:
    void personnelRefreshStarted(const std::string& operationText) override {
        std::lock_guard lock(m_mutex);
        m_rows.clear();
        m_countLabel = "0";
        m_operation = operationText;
        m_events.push_back("refresh " + operationText);
    }
    void personnelListCleared() override {
        std::lock_guard lock(m_mutex);
        m_rows.clear();
        m_events.push_back("cleared");
    }
    void personnelRowAdded(const PersonnelRow& row, const std::string& countText) override {
        std::lock_guard lock(m_mutex);
        m_rows.push_back(row);
        m_countLabel = countText;
        m_events.push_back("row " + row.code + " count " + countText);
    }
    void personnelListLoaded(std::size_t count, const std::string& operationText) override {
        std::lock_guard lock(m_mutex);
        m_operation = operationText;
        m_events.push_back("loaded " + std::to_string(count) + " " + operationText);
    }
    void personnelListLoadFailed(const std::string& operationText) override {
        std::lock_guard lock(m_mutex);
        m_operation = operationText;
        m_events.push_back("failed " + operationText);
    }

    std::vector<PersonnelRow> rows() {
        std::lock_guard lock(m_mutex);
        return m_rows;
    }
    std::vector<std::string> events() {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    std::string countLabel() {
        std::lock_guard lock(m_mutex);
        return m_countLabel;
    }
    std::string operation() {
        std::lock_guard lock(m_mutex);
        return m_operation;
    }

private:
    std::mutex m_mutex;
    std::vector<PersonnelRow> m_rows;
    std::vector<std::string> m_events;
    std::string m_countLabel;
    std::string m_operation;
};

TEST(PersonnelSource, ThreeHoldersFillTheListInOrderCountingUp) {
    CanteenFile canteen;
    RecordingDatabase database(&canteen.db);
    ListView view;
    PersonnelSource source(database, view);
    source.loadPersonnelList("");
    ASSERT_TRUE(source.waitIdle(5s));
    EXPECT_EQ(view.rows(), (std::vector<PersonnelRow>{{"0001", "张三", "食堂部", "12345678"},
                                                      {"0002", "李四", "财务部", "87654321"},
                                                      {"0004", "赵六", "研发部", "1000"}}));
    EXPECT_EQ(view.events(), (std::vector<std::string>{"cleared", "row 0001 count 1", "row 0002 count 2",
                                                       "row 0004 count 3", "loaded 3 人事档案数：3"}));
    EXPECT_EQ(database.commands(), (std::vector<std::string>{"execute dbo.sp_consume_ykt_whitename;1 @macid = ''"}));
}

TEST(PersonnelSource, TypedMachineNumberGoesIntoTheCallWithQuotesDoubled) {
    CanteenFile canteen;
    RecordingDatabase database(&canteen.db);
    ListView view;
    PersonnelSource source(database, view);
    source.loadPersonnelList("5");
    ASSERT_TRUE(source.waitIdle(5s));
    source.loadPersonnelList("5' or '1'='1");
    ASSERT_TRUE(source.waitIdle(5s));
    EXPECT_EQ(database.commands(),
              (std::vector<std::string>{"execute dbo.sp_consume_ykt_whitename;1 @macid = '5'",
                                        "execute dbo.sp_consume_ykt_whitename;1 @macid = '5'' or ''1''=''1'"}));
}

// A failed call clears nothing and loads nothing: the list in force is not replaced by an empty one.
TEST(PersonnelSource, RefreshWithTheDatabaseDownLoadsNothingAndSaysSo) {
    db::ServiceDatabase database(std::filesystem::temp_directory_path());
    ListView view;
    PersonnelSource source(database, view);
    source.refreshPersonnelList("");
    ASSERT_TRUE(source.waitIdle(5s));
    EXPECT_EQ(view.events(),
              (std::vector<std::string>{"refresh 重新获取白名单", "failed 人事档案读取失败，名单保持不变"}));
    EXPECT_EQ(view.countLabel(), "0");
}

// Answers the first call only when the test says so, with other rows than every later call.
class SlowFirstCall : public db::Database {
public:
    bool connect(const std::string&, const std::string&, const std::string&, const std::string&) override {
        return true;
    }
    bool isConnected() const override { return true; }
    void disconnect() override {}
    db::QueryResult runQuery(std::string_view) override {
        std::unique_lock lock(m_mutex);
        const bool first = m_calls++ == 0;
        m_changed.notify_all();
        if (!first)
            return rows("B", 2);
        m_changed.wait(lock, [&] { return m_released; });
        return rows("A", 3);
    }
    bool waitForCalls(std::size_t count) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 5s, [&] { return m_calls >= count; });
    }
    void release() {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

private:
    static db::QueryResult rows(const std::string& tag, int count) {
        std::vector<std::string> cells;
        for (int i = 1; i <= count; ++i)
            cells.insert(cells.end(), {tag + std::to_string(i), "name", "dept", std::to_string(i)});
        return db::QueryResult({"hr_code", "hr_name", "dept_name", "hr_phyid"}, cells);
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_calls = 0;
    bool m_released = false;
};

TEST(PersonnelSource, RefreshDuringALoadEndsWithTheRowsOfExactlyOneCall) {
    SlowFirstCall database;
    ListView view;
    PersonnelSource source(database, view);
    source.loadPersonnelList("");
    ASSERT_TRUE(database.waitForCalls(1));
    source.refreshPersonnelList("");
    database.release();
    ASSERT_TRUE(source.waitIdle(5s));
    const auto rows = view.rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].code, "B1");
    EXPECT_EQ(rows[1].code, "B2");
    const auto events = view.events();
    EXPECT_EQ(events.back(), "loaded 2 人事档案数：2");
    EXPECT_EQ(std::count_if(events.begin(), events.end(), [](const std::string& e) { return e.starts_with("loaded"); }),
              1);
    EXPECT_EQ(view.countLabel(), "2");
}

} // namespace
} // namespace vorlanx::txn
