#include "link/ConsoleSink.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using vorlanx::link::ConsoleSink;

struct Console : ::testing::Test {
    std::ostringstream out, err;
    ConsoleSink sink{out, err};
};

// The datagrams only when verbose: by default the output (the journal) gets the bookings.
TEST_F(Console, ClientEntryKeepsItsThreeLinesOnlyWhenVerbose) {
    const std::string entry = "2020年5月8日10时5分\r\n[客户]127.0.0.1:3001\r\n[数据]FE\r\n";
    sink.clientEntry(entry);
    sink.transactionLogged("[消费] 127.0.0.1:3001 机号1 卡12345678 2.5元 成功");
    EXPECT_EQ(out.str(), "[消费] 127.0.0.1:3001 机号1 卡12345678 2.5元 成功\n");
    std::ostringstream verboseOut;
    ConsoleSink verbose(verboseOut, err, true);
    verbose.clientEntry(entry);
    EXPECT_EQ(verboseOut.str(), "2020年5月8日10时5分\n[客户]127.0.0.1:3001\n[数据]FE\n");
}

TEST_F(Console, ResultTextIsPrefixedPerLine) {
    sink.resultAppended("127.0.0.1:3001|设置成功\r\n", 1);
    sink.resultAppended("00BC614E查询失败", std::nullopt);
    EXPECT_EQ(out.str(), "[结果]127.0.0.1:3001|设置成功\n[结果]00BC614E查询失败\n");
}

TEST_F(Console, PanelsAndMessages) {
    sink.operation("端口启动成功");
    sink.terminalRemoved("10.0.0.5", "10.0.0.5的机号已变更");
    sink.terminalAdded("10.0.0.5", "3001", "5", "1");
    sink.message("请先添加设备");
    EXPECT_EQ(out.str(), "[操作]端口启动成功\n[状态]10.0.0.5的机号已变更\n");
    EXPECT_EQ(err.str(), "请先添加设备\n");
}

} // namespace
