// The office's commands on the built-in database as the card procedures then answer them: blocked
// and replaced cards, reports and exports of the bookings, backups.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>

#include "db/BookingExport.h"
#include "db/BookingReport.h"
#include "db/BuiltinDatabase.h"
#include "db/BuiltinDatabaseAdmin.h"
#include "db/DatabaseBackup.h"
#include "db/MealPeriods.h"

namespace vorlanx::db {
namespace {

std::string queryFor(std::int64_t card) {
    return "execute dbo.sp_consume_ykt_query;1 @cardno = '" + std::to_string(card) + "',@hexkh = '00000000',@macid =1";
}

std::string onlineFor(std::int64_t card, int fen, int machine = 1, const std::string& time = "10:05:03") {
    return "exec sp_consume_ykt_online @rinfo=N'type = online,hexkh =00000000,macid =" + std::to_string(machine) +
           ",rdate =2020-05-08,rtime =" + time + ",cardno =" + std::to_string(card) +
           ",xfmoney =" + std::to_string(fen) + ",'";
}

std::string offlineFor(std::int64_t card, int fen, int machine, const std::string& date, const std::string& time) {
    return "exec sp_consume_ykt_offline @rinfo=N'rtype= offline,hexkh=00000000,macid=" + std::to_string(machine) +
           ",rdate=" + date + ",rtime=" + time + ",cardno=" + std::to_string(card) + ",xfmoney=" + std::to_string(fen) +
           ",'";
}

const std::string whitenameCall = "execute dbo.sp_consume_ykt_whitename;1 @macid = ''";

class OfficeCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() / ("vorlanx-office-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(m_dir);
        m_file = (m_dir / "canteen.db").string();
        std::istringstream csv("0001,张三,食堂部,1001,10000\n"
                               "0002,\"李, \"\"小\"\" 四\",\"财务部, 二楼\",1002,5000\n");
        ASSERT_TRUE(m_admin.open(m_file));
        ASSERT_TRUE(m_admin.importCsv(csv).ok);
        ASSERT_TRUE(m_db.open(m_file));
    }
    void TearDown() override {
        m_db.disconnect();
        std::error_code error;
        std::filesystem::remove_all(m_dir, error);
    }
    std::string answer(const std::string& call) { return m_db.runQuery(call).fieldText("col1"); }

    std::filesystem::path m_dir;
    std::string m_file;
    BuiltinDatabaseAdmin m_admin;
    BuiltinDatabase m_db;
};

TEST_F(OfficeCommandsTest, ABlockedCardIsRefusedAtOnceAndPaysAgainWhenUnblocked) {
    ASSERT_EQ(answer(queryFor(1001)), "1");
    ASSERT_TRUE(m_admin.setBlocked(1001, true));
    QueryResult query = m_db.runQuery(queryFor(1001));
    EXPECT_EQ(query.fieldText("col1"), "3");
    EXPECT_EQ(query.fieldText("col6"), "此卡已停用");
    EXPECT_EQ(answer(onlineFor(1001, 100)), "02");
    EXPECT_EQ(m_db.runQuery(whitenameCall).fieldText("hr_phyid"), "1002");
    EXPECT_EQ(m_admin.show(1001), "0001,张三,食堂部,1001,10000,0");

    ASSERT_TRUE(m_admin.setBlocked(1001, false));
    EXPECT_EQ(answer(queryFor(1001)), "1");
    EXPECT_EQ(answer(onlineFor(1001, 100)), "00");
    EXPECT_EQ(m_admin.show(1001), "0001,张三,食堂部,1001,9900,1");

    EXPECT_FALSE(m_admin.setBlocked(4242, true));
    EXPECT_NE(m_admin.lastError().find("4242"), std::string::npos);
}

TEST_F(OfficeCommandsTest, AReplacementCardKeepsHolderBalanceAndHistoryAndTheOldCardIsUnknown) {
    ASSERT_EQ(answer(onlineFor(1001, 250)), "00");
    ASSERT_TRUE(m_admin.setBlocked(1001, true));
    ASSERT_TRUE(m_admin.replaceCard(1001, 2001));
    EXPECT_EQ(m_admin.show(2001), "0001,张三,食堂部,2001,9750,1");
    EXPECT_FALSE(m_admin.show(1001));
    EXPECT_EQ(answer(queryFor(1001)), "2");
    EXPECT_EQ(answer(onlineFor(1001, 100)), "01");
    EXPECT_EQ(answer(onlineFor(2001, 100)), "00");

    BookingReport report(m_admin.connection(), MealPeriods(config::defaultPeriodSettings()));
    const auto byHolder = report.build("2020-05-08", "2020-05-08", ReportGrouping::Holder);
    ASSERT_TRUE(byHolder);
    ASSERT_EQ(byHolder->rows.size(), 1u);
    EXPECT_EQ(byHolder->rows[0].label, "0001 张三");
    EXPECT_EQ(byHolder->rows[0].onlineCount, 2u);
    EXPECT_EQ(byHolder->rows[0].onlineFen, 350);

    // A card already in use, a card nobody has and the same card are refused and change nothing.
    EXPECT_FALSE(m_admin.replaceCard(2001, 1002));
    EXPECT_NE(m_admin.lastError().find("already"), std::string::npos);
    EXPECT_FALSE(m_admin.replaceCard(4242, 3001));
    EXPECT_FALSE(m_admin.replaceCard(2001, 2001));
    EXPECT_EQ(m_admin.show(2001), "0001,张三,食堂部,2001,9650,1");
    EXPECT_FALSE(m_admin.show(3001));
}

TEST_F(OfficeCommandsTest, AReportCountsOnlineAndOfflineApartByMealDayTerminalAndHolder) {
    ASSERT_EQ(answer(onlineFor(1001, 300, 1, "07:00:00")), "00");
    ASSERT_EQ(answer(onlineFor(1002, 500, 2, "12:00:00")), "00");
    ASSERT_EQ(answer(offlineFor(1001, 150, 2, "2020-05-08", "09:30:01")), "1");
    ASSERT_EQ(answer(offlineFor(1002, 200, 3, "2020-05-08", "09:30:02")), "1");
    ASSERT_EQ(answer(offlineFor(1001, 700, 3, "2020-05-09", "23:00:00")), "1");
    ASSERT_EQ(answer(offlineFor(1001, 999, 3, "2020-05-10", "12:00:00")), "1");

    BookingReport report(m_admin.connection(), MealPeriods(config::defaultPeriodSettings()));
    auto meals = report.build("2020-05-08", "2020-05-09", ReportGrouping::Meal);
    ASSERT_TRUE(meals);
    ASSERT_EQ(meals->rows.size(), 5u);
    EXPECT_EQ(meals->rows[0].label, "早餐");
    EXPECT_EQ(meals->rows[0].onlineCount, 1u);
    EXPECT_EQ(meals->rows[0].onlineFen, 300);
    EXPECT_EQ(meals->rows[0].offlineCount, 1u);
    EXPECT_EQ(meals->rows[0].offlineFen, 150);
    EXPECT_EQ(meals->rows[1].onlineFen, 500);
    EXPECT_EQ(meals->rows[3].offlineFen, 700);
    EXPECT_EQ(meals->rows[4].label, "其他");
    EXPECT_EQ(meals->rows[4].offlineFen, 200);
    EXPECT_EQ(meals->total.onlineCount, 2u);
    EXPECT_EQ(meals->total.offlineCount, 3u);
    EXPECT_EQ(meals->total.onlineFen + meals->total.offlineFen, 1850);

    const auto days = report.build("2020-05-01", "2020-05-31", ReportGrouping::Day);
    ASSERT_TRUE(days);
    ASSERT_EQ(days->rows.size(), 3u);
    EXPECT_EQ(days->rows[2].label, "2020-05-10");
    EXPECT_EQ(days->rows[2].offlineFen, 999);

    const auto terminals = report.build("2020-05-08", "2020-05-08", ReportGrouping::Terminal);
    ASSERT_TRUE(terminals);
    ASSERT_EQ(terminals->rows.size(), 3u);
    EXPECT_EQ(terminals->rows[1].label, "2");
    EXPECT_EQ(terminals->rows[1].onlineFen, 500);
    EXPECT_EQ(terminals->rows[1].offlineFen, 150);

    const std::string text = BookingReport::text(*meals);
    EXPECT_NE(text.find("消费汇总 2020-05-08 至 2020-05-09\n"), std::string::npos) << text;
    EXPECT_NE(text.find("早餐         1          3.00         1          1.50         2          4.50\n"),
              std::string::npos)
        << text;
    EXPECT_NE(BookingReport::csv(*meals).find("\r\n合计,2,8.00,3,10.50,5,18.50\r\n"), std::string::npos);

    const auto nothing = report.build("2021-01-01", "2021-01-01", ReportGrouping::Holder);
    ASSERT_TRUE(nothing);
    EXPECT_TRUE(nothing->rows.empty());
    EXPECT_EQ(nothing->total.onlineCount + nothing->total.offlineCount, 0u);
}

TEST_F(OfficeCommandsTest, AnExportQuotesNamesWithCommasAndQuotes) {
    ASSERT_EQ(answer(onlineFor(1002, 250, 4, "12:00:00")), "00");
    ASSERT_EQ(answer(offlineFor(4242, 100, 5, "2020-05-08", "12:00:01")), "1");
    BookingExport exporter(m_admin.connection(), MealPeriods(config::defaultPeriodSettings()));
    std::ostringstream out;
    ASSERT_EQ(exporter.write(out, "2020-05-08", "2020-05-08"), 2u);
    std::istringstream lines(out.str());
    std::string header;
    std::string first;
    std::string second;
    std::getline(lines, header);
    std::getline(lines, first);
    std::getline(lines, second);
    EXPECT_EQ(header,
              "\xEF\xBB\xBF流水号,类型,日期,时间,时段,终端,卡号,人员编号,姓名,部门,金额(元),余额(元),入账时间\r");
    EXPECT_TRUE(first.starts_with("1,联机,2020-05-08,12:00:00,中餐,4,1002,0002,\"李, \"\"小\"\" 四\",\"财务部, "
                                  "二楼\",2.50,47.50,"))
        << first;
    EXPECT_TRUE(second.starts_with("2,脱机,2020-05-08,12:00:01,中餐,5,4242,,,,1.00,,")) << second;

    const std::string file = (m_dir / "accounts.csv").string();
    ASSERT_EQ(exporter.writeFile(file, "2020-05-08", "2020-05-08", false), 2u);
    EXPECT_FALSE(exporter.writeFile(file, "2020-05-01", "2020-05-01", false));
    EXPECT_EQ(std::filesystem::file_size(file), out.str().size());
    EXPECT_EQ(exporter.writeFile(file, "2020-05-01", "2020-05-01", true), 0u);
    EXPECT_FALSE(std::filesystem::exists(file + ".part"));
}

// Every text cell of a spreadsheet file that a spreadsheet would run is written as text, whichever
// of the formula's first characters it begins with; money columns stay numbers.
TEST_F(OfficeCommandsTest, ReportAndExportGuardEveryTextCellThatBeginsAFormula) {
    const std::string leads[] = {"=", "+", "-", "@", "\t", "\r"};
    std::string holders;
    for (std::size_t i = 0; i < std::size(leads); ++i) {
        const std::string& c = leads[i];
        holders += "\"" + c + "C" + std::to_string(i) + "\",\"" + c + "N\",\"" + c + "D\"," + std::to_string(2000 + i) +
                   ",1000\n";
    }
    std::istringstream csv(holders);
    ASSERT_TRUE(m_admin.importCsv(csv).ok);
    for (std::size_t i = 0; i < std::size(leads); ++i)
        ASSERT_EQ(answer(onlineFor(static_cast<std::int64_t>(2000 + i), 100, 4, "12:00:00")), "00");

    BookingReport report(m_admin.connection(), MealPeriods(config::defaultPeriodSettings()));
    const auto byHolder = report.build("2020-05-08", "2020-05-08", ReportGrouping::Holder);
    ASSERT_TRUE(byHolder);
    const std::string table = BookingReport::csv(*byHolder);
    BookingExport exporter(m_admin.connection(), MealPeriods(config::defaultPeriodSettings()));
    std::ostringstream exported;
    ASSERT_EQ(exporter.write(exported, "2020-05-08", "2020-05-08"), std::size(leads));
    for (std::size_t i = 0; i < std::size(leads); ++i) {
        const std::string& c = leads[i];
        // A CR makes the cell quoted; the apostrophe comes first inside the quotes.
        const auto cell = [&c](const std::string& text) {
            return c == "\r" ? "\"'" + c + text + "\"" : "'" + c + text;
        };
        const std::string code = cell("C" + std::to_string(i));
        EXPECT_NE(table.find("\r\n" + (c == "\r" ? "\"'\rC" + std::to_string(i) + " \rN\"" : code + " " + c + "N") +
                             ",1,1.00,0,0.00,1,1.00\r\n"),
                  std::string::npos)
            << table;
        EXPECT_NE(exported.str().find("," + std::to_string(2000 + i) + "," + code + "," + cell("N") + "," + cell("D") +
                                      ",1.00,9.00,"),
                  std::string::npos)
            << exported.str();
    }
}

#ifndef _WIN32
// Names and departments come from the office's import: one that a spreadsheet would run as a
// formula is written as text. The export and the backup name holders and balances: their owner's alone.
TEST_F(OfficeCommandsTest, AnExportWritesNoFormulaAndExportsAndBackupsAreTheOwnersAlone) {
    std::istringstream csv("0003,=1+2,@SUM(A1),1003,1000\n0004,-2+3,+食堂,1004,1000\n");
    ASSERT_TRUE(m_admin.importCsv(csv).ok);
    ASSERT_EQ(answer(onlineFor(1003, 100, 4, "12:00:00")), "00");
    ASSERT_EQ(answer(onlineFor(1004, 100, 4, "12:00:01")), "00");
    BookingExport exporter(m_admin.connection(), MealPeriods(config::defaultPeriodSettings()));
    const std::string file = (m_dir / "accounts.csv").string();
    ASSERT_EQ(exporter.writeFile(file, "2020-05-08", "2020-05-08", false), 2u);
    std::ifstream in(file, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find(",1003,0003,'=1+2,'@SUM(A1),1.00,"), std::string::npos) << text;
    EXPECT_NE(text.find(",1004,0004,'-2+3,'+食堂,1.00,"), std::string::npos) << text;

    const std::string copy = (m_dir / "copy.db").string();
    ASSERT_TRUE(DatabaseBackup::backup(m_file, copy, false).ok);
    for (const std::string& made : {file, copy})
        EXPECT_EQ(std::filesystem::status(made).permissions(),
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write)
            << made;
}
#endif

TEST_F(OfficeCommandsTest, ABackupIsIntactCountsHoldersAndBookingsAndNeverOverwritesUnasked) {
    ASSERT_EQ(answer(onlineFor(1001, 250)), "00");
    const std::string copy = (m_dir / "copy.db").string();
    BackupOutcome outcome = DatabaseBackup::backup(m_file, copy, false);
    ASSERT_TRUE(outcome.ok) << outcome.error;
    EXPECT_EQ(outcome.holders, 2);
    EXPECT_EQ(outcome.bookings, 1);
    // One self-contained file: no write-ahead log to carry along.
    EXPECT_FALSE(std::filesystem::exists(copy + "-wal"));
    EXPECT_TRUE(DatabaseBackup::verify(copy).ok);

    ASSERT_EQ(answer(onlineFor(1001, 250)), "00");
    outcome = DatabaseBackup::backup(m_file, copy, false);
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(outcome.error.find("exists"), std::string::npos);
    EXPECT_EQ(DatabaseBackup::verify(copy).bookings, 1);
    EXPECT_FALSE(DatabaseBackup::backup(m_file, m_file, true).ok);
    outcome = DatabaseBackup::backup(m_file, copy, true);
    ASSERT_TRUE(outcome.ok) << outcome.error;
    EXPECT_EQ(outcome.bookings, 2);

    // The copy answers the service's procedures like the original.
    BuiltinDatabase restored;
    ASSERT_TRUE(restored.open(copy));
    EXPECT_EQ(restored.runQuery(queryFor(1001)).fieldText("col4"), "9500");
}

TEST_F(OfficeCommandsTest, ADamagedOrForeignFileFailsTheCheck) {
    const std::string foreign = (m_dir / "notes.db").string();
    std::ofstream(foreign, std::ios::binary) << "not a database\n";
    EXPECT_FALSE(DatabaseBackup::verify(foreign).ok);
    EXPECT_FALSE(DatabaseBackup::backup(foreign, (m_dir / "x.db").string(), false).ok);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "x.db"));
    EXPECT_FALSE(m_admin.openExisting(foreign));
    EXPECT_NE(m_admin.lastError().find("not a Vorlanx database"), std::string::npos);
    EXPECT_EQ(std::filesystem::file_size(foreign), 15u);

    // A copy whose card holder page (page 2, after the schema) is overwritten is found damaged.
    const std::string copy = (m_dir / "copy.db").string();
    ASSERT_TRUE(DatabaseBackup::backup(m_file, copy, false).ok);
    const auto size = std::filesystem::file_size(copy);
    ASSERT_GT(size, 8192u);
    {
        std::fstream damage(copy, std::ios::in | std::ios::out | std::ios::binary);
        damage.seekp(4096);
        const std::string garbage(64, '\x7f');
        damage.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
    }
    const BackupOutcome outcome = DatabaseBackup::verify(copy);
    EXPECT_FALSE(outcome.ok);
    EXPECT_FALSE(outcome.error.empty());
}

} // namespace
} // namespace vorlanx::db
