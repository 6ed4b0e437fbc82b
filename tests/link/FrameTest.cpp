#include "link/FrameBuilders.h"
#include "link/FrameChecksum.h"
#include "link/FrameReader.h"
#include "link/Gbk.h"
#include "link/HexText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace vorlanx::link;

std::string repeat(std::string_view piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

TEST(FrameChecksum, GoldenValuesOfTheModbusChecksum) {
    const std::string ascii = "123456789";
    EXPECT_EQ(crc16Modbus({reinterpret_cast<const std::uint8_t*>(ascii.data()), ascii.size()}), 0x4B37);
    EXPECT_EQ(frameChecksum("313233343536373839"), "374B");
    EXPECT_EQ(frameChecksum("1103006B0003"), "7687");
}

TEST(FrameChecksum, EmptyTextGivesTheStartValue) {
    EXPECT_EQ(frameChecksum(""), "FFFF");
}

TEST(FrameChecksum, OddLastDigitIsIgnored) {
    EXPECT_EQ(frameChecksum("00010001327"), frameChecksum("0001000132"));
    EXPECT_EQ(frameChecksum("F"), "FFFF");
}

TEST(FrameBuilders, WorkedFramesForMachineOne) {
    EXPECT_EQ(deleteWhitelistFrame("1"), "FE010001000132A5B9");
    EXPECT_EQ(readClockFrame("1"), "FE010001000111E460");
    EXPECT_EQ(readCountFrame("1"), "FE010001000151E590");
    EXPECT_EQ(listModeFrame("1", CardList::White), "FE01000100024900AB8B");
    EXPECT_EQ(modeFrame("1", ConsumptionMode::Manual), "FE01000100023B014EEB");
    EXPECT_EQ(amountFrame("1", Meal::Breakfast, "1000"), "FE01000100063641000003E822B0");
    EXPECT_EQ(periodFrame("1", Meal::Breakfast, "05:00:01", "09:30:01"), "FE010001000935410005000109300184C1");
    EXPECT_EQ(setClockFrame("1", "2026120701235928"), "FE01000100093020261207012359284316");
    EXPECT_EQ(acknowledgementFrame("FE010001"), "FE010001000181E40C");
}

TEST(FrameBuilders, MachineSeventyEight) {
    EXPECT_EQ(readClockFrame("78"), "FE01004E000111F2B4");
    EXPECT_EQ(acknowledgementFrame("FE01004E"), "FE01004E000181F2D8");
    EXPECT_EQ(hexToBytes(acknowledgementFrame("FE01004E")),
              (std::vector<std::uint8_t>{0xFE, 0x01, 0x00, 0x4E, 0x00, 0x01, 0x81, 0xF2, 0xD8}));
}

TEST(FrameBuilders, MachineFieldIsFilledButNeverCut) {
    EXPECT_EQ(machineField("12"), "000C");
    EXPECT_EQ(machineField(""), "0000");
    EXPECT_EQ(machineField("65536"), "10000");
}

TEST(FrameBuilders, OtherPeriodsMealsModesAndLists) {
    EXPECT_EQ(periodFrame("1", Meal::NightSnack, "200000", "235959").substr(14, 4), "4400");
    EXPECT_EQ(amountFrame("1", Meal::Dinner, "250").substr(14, 10), "45000000FA");
    EXPECT_EQ(modeFrame("1", ConsumptionMode::Download).substr(14, 2), "03");
    EXPECT_EQ(listModeFrame("1", CardList::Black).substr(14, 2), "01");
}

TEST(FrameBuilders, TitleKeepsItsFixedLength) {
    EXPECT_EQ(titleFrame("1", toGbk("欢迎使用IC消费机")), "FE010001001148BBB6D3ADCAB9D3C34943CFFBB7D1BBFA9430");
    const std::string shortTitle = titleFrame("1", "ABCDEFGH");
    EXPECT_EQ(shortTitle.substr(8, 6), "001148");
    EXPECT_EQ(shortTitle.size(), 14u + 16u + 4u);
}

TEST(FrameBuilders, WhitelistBlocks) {
    EXPECT_EQ(whitelistEntry("12345678"), "00BC614E");
    EXPECT_EQ(whitelistEntry(""), "00000000");
    EXPECT_EQ(whitelistBlockFrame("1", "00BC614E"), "FE0100010006310100BC614E4A36");
    EXPECT_EQ(whitelistBlockFrame("1", ""), "FE01000100023100898B");
    const std::string full = whitelistBlockFrame("1", repeat("00BC614E", 50));
    EXPECT_EQ(full.substr(8, 8), "00CA3132");
    EXPECT_EQ(hexToBytes(full).size(), 210u);
}

TEST(FrameBuilders, CardRepliesAndOfflineAcknowledgement) {
    const std::string fields = "D5C5C8FD" + repeat("20", 12) + repeat("20", 48);
    const std::string query = cardReplyFrame("0001", fields + "01010" + "1");
    EXPECT_EQ(query.substr(0, 14), "FE010001004463");
    EXPECT_EQ(query.substr(query.size() - 4), "61F3");
    const std::string payment = cardReplyFrame("0001", fields + "0101" + "00");
    EXPECT_EQ(payment.substr(payment.size() - 4), "A033");
    EXPECT_EQ(offlineAcknowledgementFrame("0001"), "FE010001000177644A");
}

TEST(FrameReader, NamedFieldsOfACardQuery) {
    const FrameReader r(hexToBytes("FE01"
                                   "0001"
                                   "0009"
                                   "63"
                                   "00BC614E"
                                   "06"
                                   "AABBCCDD"));
    EXPECT_EQ(r.headerAndMachine(), "FE010001");
    EXPECT_EQ(r.machine(), "0001");
    EXPECT_EQ(r.replyKey(), "000963");
    EXPECT_EQ(r.command(), "63");
    EXPECT_EQ(r.cardNumber(), "00BC614E");
    EXPECT_EQ(r.kind(), "06");
}

TEST(FrameReader, NamedFieldsOfAnOfflineRecord) {
    const FrameReader r(std::string("FE01"
                                    "0001"
                                    "0011"
                                    "76"
                                    "00BC614E"
                                    "00"
                                    "200508100503"
                                    "000004E2"
                                    "ABCD"));
    EXPECT_EQ(r.command(), "76");
    EXPECT_EQ(r.kind(), "00");
    EXPECT_EQ(r.recordTime(), "200508100503");
    EXPECT_EQ(r.offlineAmount(), "000004E2");
    EXPECT_EQ(r.paymentAmount(), "20050810");
}

TEST(FrameReader, RepliesToReadCountAndReadClock) {
    const FrameReader count(std::string("FE01000100055100000005ABCD"));
    EXPECT_EQ(count.replyKey(), "000551");
    EXPECT_EQ(count.count(), "00000005");
    const FrameReader clock(std::string("FE0100010009112026120701235928ABCD"));
    EXPECT_EQ(clock.replyKey(), "000911");
    EXPECT_EQ(clock.terminalClock(), "2026120701235928");
}

TEST(FrameReader, SlicesPastTheEndYieldWhatExists) {
    const FrameReader r(std::vector<std::uint8_t>{0xFE, 0x01, 0x00, 0x4E, 0x00});
    EXPECT_EQ(r.text(), "FE01004E00");
    EXPECT_EQ(r.machine(), "004E");
    EXPECT_EQ(r.acknowledgeKey(), "00");
    EXPECT_EQ(r.command(), "");
    EXPECT_EQ(r.terminalClock(), "");
    const FrameReader empty(std::string{});
    EXPECT_EQ(empty.headerAndMachine(), "");
}

} // namespace
