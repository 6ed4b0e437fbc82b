#pragma once

#include "link/DispatchSink.h"
#include "link/FrameBuilders.h"
#include "link/HexText.h"
#include "link/UdpEndpoint.h"
#include "tests/support/FakeTerminal.h"
#include "db/BuiltinDatabase.h"
#include "db/Database.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace vorlanx::txn::test {

using namespace std::chrono_literals;

// Frames as terminals send them. The checksum is right, although nothing in the service checks it.
inline std::string cardQueryRequest(const std::string& machine, const std::string& card) {
    return link::buildFrame(machine, "0007", "63", card + "06");
}
inline std::string paymentRequest(const std::string& machine, const std::string& card, const std::string& amount) {
    return link::buildFrame(machine, "000B", "63", card + "00" + amount);
}
inline std::string offlineRequest(const std::string& machine, const std::string& card, const std::string& time,
                                  const std::string& amount) {
    return link::buildFrame(machine, "0011", "76", card + "00" + time + amount);
}

// A terminal: a real UDP socket on a loopback address; see tests/support.
using FakeTerminal = vorlanx::test::FakeTerminal;

// Parameter-return lines as the window would receive them.
class RecordingSink : public link::DispatchSink {
public:
    void clientEntry(const std::string&) override {}
    void terminalAdded(const std::string&, const std::string&, const std::string&, const std::string&) override {}
    void terminalRemoved(const std::string&, const std::string&) override {}
    void resultAppended(const std::string& text, std::optional<std::size_t>) override {
        std::lock_guard lock(m_mutex);
        m_results.push_back(text);
    }
    std::vector<std::string> results() {
        std::lock_guard lock(m_mutex);
        return m_results;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_results;
};

// A database in front of another one that remembers every command text it was given, and can
// stand in for a procedure with a fixed answer.
class RecordingDatabase : public db::Database {
public:
    explicit RecordingDatabase(db::Database* inner = nullptr) : m_inner(inner) {}

    void answerWith(std::function<db::QueryResult(std::string_view)> answer) { m_answer = std::move(answer); }

    bool connect(const std::string&, const std::string&, const std::string&, const std::string&) override {
        return true;
    }
    bool isConnected() const override { return true; }
    void disconnect() override {}
    db::QueryResult runQuery(std::string_view command) override {
        {
            std::lock_guard lock(m_mutex);
            m_commands.emplace_back(command);
        }
        if (m_answer)
            return m_answer(command);
        return m_inner != nullptr ? m_inner->runQuery(command) : db::QueryResult();
    }
    std::vector<std::string> commands() {
        std::lock_guard lock(m_mutex);
        return m_commands;
    }

private:
    db::Database* m_inner;
    std::function<db::QueryResult(std::string_view)> m_answer;
    std::mutex m_mutex;
    std::vector<std::string> m_commands;
};

// The answer of a procedure: col1, then col5 to col8.
inline db::QueryResult procedureAnswer(const std::string& code, const std::string& line1, const std::string& line2 = {},
                                   const std::string& line3 = {}, const std::string& line4 = {}) {
    return db::QueryResult({"col1", "col5", "col6", "col7", "col8"}, {code, line1, line2, line3, line4});
}

// A built-in database file in a fresh temporary directory, with four card holders.
class CanteenFile {
public:
    CanteenFile() {
        std::random_device random;
        m_dir = std::filesystem::temp_directory_path() / ("vorlanx-canteen-" + std::to_string(random()));
        std::filesystem::create_directories(m_dir);
        EXPECT_TRUE(db.open(file().string()));
        EXPECT_TRUE(db.runQuery("INSERT INTO card_holder (hr_code, hr_name, dept_name, hr_phyid, balance_fen, active) "
                                "VALUES ('0001', '张三', '食堂部', 12345678, 10000, 1),"
                                "('0002', '李四', '财务部', 87654321, 500, 1),"
                                "('0003', '王五', '后勤部', 555, 10000, 0),"
                                "('0004', '赵六', '研发部', 1000, 300, 1)")
                        .isOpen());
    }
    ~CanteenFile() {
        db.disconnect();
        std::error_code error;
        std::filesystem::remove_all(m_dir, error);
    }
    CanteenFile(const CanteenFile&) = delete;
    CanteenFile& operator=(const CanteenFile&) = delete;

    std::filesystem::path dir() const { return m_dir; }
    std::filesystem::path file() const { return m_dir / "canteen.db"; }

    std::string value(const std::string& sql) { return db.runQuery(sql).fieldText(std::size_t{0}); }
    std::string balanceOf(const std::string& card) {
        return value("SELECT balance_fen FROM card_holder WHERE hr_phyid = " + card);
    }
    std::string recordCount() { return value("SELECT count(*) FROM consumption_record"); }

    db::BuiltinDatabase db;

private:
    std::filesystem::path m_dir;
};

} // namespace vorlanx::txn::test
