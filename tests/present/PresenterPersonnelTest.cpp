// The personnel list a window shows against the service's list in force, over a real database
// file that goes away between two loads.

#include "db/BuiltinDatabaseAdmin.h"
#include "link/Gbk.h"
#include "tests/present/PresenterFixture.h"
#include "txn/TransactionTexts.h"

#include <fstream>
#include <sstream>

namespace {

using vorlanx::test::PresenterFixture;
using PresenterPersonnelTest = PresenterFixture;

TEST_F(PresenterPersonnelTest, AFailedRefreshKeepsTheLoadedRowsShown) {
    {
        vorlanx::db::BuiltinDatabaseAdmin admin;
        ASSERT_TRUE(admin.open((m_dir / "canteen.db").string()));
        std::istringstream three("0001,张三,食堂部,1001,100\n0002,李四,财务部,1002,100\n0003,王五,研发部,1003,100\n");
        ASSERT_TRUE(admin.importCsv(three).ok);
    }
    std::ofstream(m_dir / "conf.ini", std::ios::binary)
        << "[sername]\r\ntype=2\r\n[mssql]\r\n" + vorlanx::link::toGbk("名称") + "=canteen\r\n";
    openWindow();
    ASSERT_TRUE(pumpUntil([&] { return panels[vorlanx::ui::kOperationPanel] == "人事档案数：3"; }));
    ASSERT_EQ(personnel.size(), 3u);

    m_service->database().disconnect();
    m_presenter->refreshPersonnel("");
    ASSERT_TRUE(
        pumpUntil([&] { return panels[vorlanx::ui::kOperationPanel] == vorlanx::txn::kPersonnelLoadFailedText; }));
    EXPECT_EQ(personnel, rowsInForce());
    EXPECT_EQ(personnel.size(), 3u);
    EXPECT_EQ(whitelistCount, "3");
}

} // namespace
