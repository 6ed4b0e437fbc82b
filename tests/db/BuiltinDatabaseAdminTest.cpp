#include "db/BuiltinDatabaseAdmin.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>

#include "db/BuiltinDatabase.h"

namespace vorlanx::db {
namespace {

class BuiltinDatabaseAdminTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_base =
            std::filesystem::temp_directory_path() / ("vorlanx-admin-" + std::to_string(std::random_device{}()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        m_file = m_base.string() + ".db";
        removeFiles();
        ASSERT_TRUE(m_admin->open(m_file));
    }
    void TearDown() override {
        m_admin.reset();
        removeFiles();
        std::filesystem::remove(m_base.string() + ".csv");
    }
    void removeFiles() {
        for (const char* suffix : {"", "-wal", "-shm"})
            std::filesystem::remove(m_file + suffix);
    }
    std::string holderCount() {
        BuiltinDatabase db;
        db.open(m_file);
        return db.runQuery("SELECT count(*) FROM card_holder").fieldText(std::size_t{0});
    }

    std::filesystem::path m_base;
    std::string m_file;
    // Closed before its files are removed: Windows removes no file that is open.
    std::optional<BuiltinDatabaseAdmin> m_admin{std::in_place};
};

TEST_F(BuiltinDatabaseAdminTest, ImportAddsHoldersWithTheirCardsAndBalances) {
    std::istringstream csv("hr_code,hr_name,dept_name,hr_phyid,balance_fen\r\n"
                           "0001,张三,食堂部,12345678,10000\r\n"
                           "0002,\"李, 四\",财务部,,0\r\n");
    const ImportOutcome outcome = m_admin->importCsv(csv);
    ASSERT_TRUE(outcome.ok) << outcome.message;
    EXPECT_EQ(outcome.imported, 2u);
    EXPECT_EQ(m_admin->show(12345678), "0001,张三,食堂部,12345678,10000,1");
    EXPECT_EQ(m_admin->topup(12345678, 550), 10550);
    EXPECT_EQ(m_admin->show(12345678), "0001,张三,食堂部,12345678,10550,1");
    EXPECT_FALSE(m_admin->topup(999, 100));
    EXPECT_FALSE(m_admin->show(999));
}

TEST_F(BuiltinDatabaseAdminTest, ABadRowOnLineThreeImportsNothingAndNamesLineThree) {
    std::istringstream csv("0001,张三,食堂部,12345678,10000\n"
                           "0002,李四,财务部,22222222,500\n"
                           "0003,王五,后勤部,not-a-card,500\n"
                           "0004,赵六,研发部,44444444,500\n");
    const ImportOutcome outcome = m_admin->importCsv(csv);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.line, 3u);
    EXPECT_EQ(holderCount(), "0");
}

TEST_F(BuiltinDatabaseAdminTest, ACardTakenTwiceIsABadRow) {
    std::istringstream csv("0001,张三,食堂部,12345678,10000\n"
                           "0002,李四,财务部,12345678,500\n");
    const ImportOutcome outcome = m_admin->importCsv(csv);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.line, 2u);
    EXPECT_EQ(holderCount(), "0");
}

TEST_F(BuiltinDatabaseAdminTest, RecordsListEveryBooking) {
    ASSERT_EQ(m_admin->addDemoHolders(3), 3u);
    EXPECT_EQ(m_admin->addDemoHolders(3), 0u);
    BuiltinDatabase db;
    ASSERT_TRUE(db.open(m_file));
    db.runQuery("exec sp_consume_ykt_offline @rinfo=N'rtype= offline,hexkh=00BC614E,macid=1,rdate=2020-05-08,"
                "rtime=10:05:03,cardno=12345678,xfmoney=1250,'");
    std::ostringstream out;
    ASSERT_TRUE(m_admin->writeRecords(out));
    std::istringstream lines(out.str());
    std::string header;
    std::string record;
    std::getline(lines, header);
    std::getline(lines, record);
    EXPECT_EQ(header, "record_id,kind,hr_phyid,hr_code,machine,rdate,rtime,amount_fen,balance_after_fen,booked_at");
    EXPECT_TRUE(record.starts_with("1,offline,12345678,D00001,1,2020-05-08,10:05:03,1250,8750,")) << record;
}

#if defined(VORLANX_DB_TOOL) && !defined(_WIN32)
std::string runTool(const std::string& arguments, int& exitCode) {
    const std::string command = std::string(VORLANX_DB_TOOL) + " " + arguments + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string output;
    if (pipe == nullptr)
        return output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        output += buffer;
    const int status = ::pclose(pipe);
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

TEST_F(BuiltinDatabaseAdminTest, ToolNamesTheBadLineAndFailsOnBadArguments) {
    const std::string csvFile = m_base.string() + ".csv";
    std::ofstream(csvFile)
        << "0001,张三,食堂部,12345678,10000\n0002,李四,财务部,22222222,500\n0003,王五,后勤部,3,5.5\n";
    int exitCode = 0;
    std::string output = runTool(m_file + " import " + csvFile, exitCode);
    EXPECT_NE(exitCode, 0);
    EXPECT_NE(output.find("line 3"), std::string::npos) << output;
    EXPECT_EQ(holderCount(), "0");

    runTool(m_file + " demo 200", exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(runTool(m_file + " show 12345678", exitCode), "D00001,张三,食堂部,12345678,10000,1\n");
    EXPECT_EQ(exitCode, 0);

    for (const char* arguments :
         {"", " frob", " show", " show x", " topup 12345678", " topup 12345678 1.5", " demo 0", " show 99"}) {
        runTool(m_file + arguments, exitCode);
        EXPECT_NE(exitCode, 0) << arguments;
    }
}

TEST_F(BuiltinDatabaseAdminTest, ToolRefusesWhatItCannotDoAndChangesNothing) {
    int exitCode = 0;
    runTool(m_file + " demo 3", exitCode);
    ASSERT_EQ(exitCode, 0);
    auto state = [&] {
        int code = 0;
        return runTool(m_file + " show 12345678", code) + runTool(m_file + " show 12345679", code) +
               runTool(m_file + " records", code);
    };
    const std::string before = state();
    const std::string copy = m_base.string() + "-copy.db";
    std::ofstream(copy) << "an older copy\n";
    const std::string foreign = m_base.string() + ".txt";
    std::ofstream(foreign) << "not a database\n";
    const std::string missing = m_base.string() + "-missing.db";
    for (const std::string& arguments :
         {m_file + " block 999", m_file + " unblock 999", m_file + " replace 999 555",
          m_file + " replace 12345678 12345679", m_file + " report --from 2020-02-30",
          m_file + " report --from 2020-05-09 --to 2020-05-08", m_file + " report --by week", m_file + " report --to",
          m_file + " export --from 1.5.2020 x.csv", m_file + " backup " + copy, foreign + " verify",
          foreign + " report", foreign + " block 12345678", foreign + " backup " + missing, foreign + " init",
          foreign + " demo 3", missing + " block 12345678", missing + " report", missing + " verify"}) {
        const std::string output = runTool(arguments, exitCode);
        EXPECT_NE(exitCode, 0) << arguments;
        EXPECT_TRUE(output.starts_with("vorlanx-db: ")) << output;
    }
    EXPECT_EQ(state(), before);
    EXPECT_EQ(runTool(foreign + " verify", exitCode), "vorlanx-db: " + foreign + " is not a Vorlanx database\n");
    EXPECT_EQ(runTool(m_file + " block 999", exitCode), "vorlanx-db: no card holder has card 999\n");
    std::ifstream olderCopy(copy);
    std::string line;
    std::getline(olderCopy, line);
    EXPECT_EQ(line, "an older copy");
    EXPECT_EQ(std::filesystem::file_size(foreign), 15u);
    EXPECT_FALSE(std::filesystem::exists(missing));

    const std::string blocked = runTool(m_file + " block 12345678", exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_NE(blocked.find("white list"), std::string::npos) << blocked;
    EXPECT_EQ(runTool(m_file + " show 12345678", exitCode), "D00001,张三,食堂部,12345678,10000,0\n");
    const std::string csv = runTool(m_file + " report --csv --from 2020-05-08", exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(
        csv.starts_with("\xEF\xBB\xBF时段,联机笔数,联机金额(元),脱机笔数,脱机金额(元),合计笔数,合计金额(元)\r\n"))
        << csv;
    EXPECT_NE(csv.find("\r\n合计,0,0.00,0,0.00,0,0.00\r\n"), std::string::npos) << csv;
    const std::string backup = runTool(m_file + " backup --force " + copy, exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(backup, copy + ": intact, 3 card holders, 0 bookings\n");
    EXPECT_EQ(runTool(copy + " verify", exitCode), copy + ": intact, 3 card holders, 0 bookings\n");
    for (const std::string& file : {copy, foreign})
        std::filesystem::remove(file);
}

#endif

} // namespace
} // namespace vorlanx::db
