#include "link/LogText.h"
#include "tests/support/SampleTime.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::tm at(int hour, int minute, int second) { return vorlanx::test::may8th2020(hour, minute, second); }

TEST(DateTimeText, LeavesOutTrailingZeroParts) {
    EXPECT_EQ(vorlanx::link::dateTimeText(at(10, 5, 3)), "2020年5月8日10时5分3秒");
    EXPECT_EQ(vorlanx::link::dateTimeText(at(10, 5, 0)), "2020年5月8日10时5分");
    EXPECT_EQ(vorlanx::link::dateTimeText(at(14, 0, 0)), "2020年5月8日14时");
    EXPECT_EQ(vorlanx::link::dateTimeText(at(0, 0, 0)), "2020年5月8日");
}

TEST(DateTimeText, ZeroHourOrMinuteInsideIsKept) {
    EXPECT_EQ(vorlanx::link::dateTimeText(at(0, 5, 0)), "2020年5月8日0时5分");
    EXPECT_EQ(vorlanx::link::dateTimeText(at(0, 0, 7)), "2020年5月8日0时0分7秒");
}

TEST(ClientEntry, SpansThreeLinesWithUpperCaseHex) {
    const std::vector<std::uint8_t> data{0xfe, 0x01, 0x00, 0x0a};
    const auto entry = vorlanx::link::clientEntry(at(10, 5, 0), "192.168.1.20", 3001, data);
    EXPECT_EQ(entry, "2020年5月8日10时5分\r\n[客户]192.168.1.20:3001\r\n[数据]FE01000A\r\n");
    EXPECT_EQ(vorlanx::link::countLinePieces(entry), 3u);
}

TEST(ClientEntry, EmptyDatagramHasEmptyDataLine) {
    const auto entry = vorlanx::link::clientEntry(at(10, 5, 3), "127.0.0.1", 1, {});
    EXPECT_EQ(entry, "2020年5月8日10时5分3秒\r\n[客户]127.0.0.1:1\r\n[数据]\r\n");
}

TEST(LinePieces, EveryDelimiterEndsAPieceAndANonEmptyTailCounts) {
    EXPECT_EQ(vorlanx::link::countLinePieces(""), 0u);
    EXPECT_EQ(vorlanx::link::countLinePieces("a"), 1u);
    EXPECT_EQ(vorlanx::link::countLinePieces("a\r\n"), 1u);
    EXPECT_EQ(vorlanx::link::countLinePieces("a\r\nb"), 2u);
    EXPECT_EQ(vorlanx::link::countLinePieces("\r\n\r\n"), 2u);
    EXPECT_EQ(vorlanx::link::countLinePieces("a\r\n\r\nb\r\n"), 3u);
    EXPECT_EQ(vorlanx::link::countLinePieces("a\nb\rc"), 1u);
}

TEST(LinePieces, SevenEntriesPassTheLimitAndSixDoNot) {
    std::string log;
    const auto entry = vorlanx::link::clientEntry(at(10, 5, 3), "10.0.0.5", 3000, {});
    for (int i = 0; i < 6; ++i)
        log += entry;
    EXPECT_EQ(vorlanx::link::countLinePieces(log), 18u);
    EXPECT_LE(vorlanx::link::countLinePieces(log), vorlanx::link::kLogPieceLimit);
    log += entry;
    EXPECT_GT(vorlanx::link::countLinePieces(log), vorlanx::link::kLogPieceLimit);
}

TEST(LinePieces, TwentyPiecesStayAndTwentyOneDoNot) {
    std::string twenty;
    for (int i = 0; i < 19; ++i)
        twenty += "x\r\n";
    twenty += "\r\n"; // an empty piece counts as one
    EXPECT_EQ(vorlanx::link::countLinePieces(twenty), 20u);
    EXPECT_EQ(vorlanx::link::countLinePieces(twenty + "tail"), 21u);
}

} // namespace
