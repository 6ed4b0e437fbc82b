#include "admin/InputChecks.h"
#include "link/Gbk.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace vorlanx;
using namespace vorlanx::admin;

// The refusal text, or "" when the input was accepted.
template <typename T> std::string refusalOf(const Checked<T>& checked) {
    return checked.index() == 1 ? std::get<1>(checked).text : std::string();
}

Destination accepted(const Checked<Destination>& checked) {
    EXPECT_EQ(checked.index(), 0u) << refusalOf(checked);
    return checked.index() == 0 ? std::get<0>(checked) : Destination{};
}

TEST(TargetInputCheck, AcceptsAndNormalisesAWellFormedTarget) {
    EXPECT_EQ(accepted(checkTarget({"192.168.1.10", "8000", "1"}, std::nullopt)),
              (Destination{"192.168.1.10", 8000, "1"}));
    EXPECT_EQ(accepted(checkTarget({" 10.0.0.255 ", " 65535\t", " 007 "}, std::nullopt)),
              (Destination{"10.0.0.255", 65535, "7"}));
    EXPECT_EQ(accepted(checkTarget({"0.0.0.0", "1", "65535"}, 3)), (Destination{"0.0.0.0", 1, "65535"}));
}

TEST(TargetInputCheck, AnEmptyMachineIsMachineZero) {
    EXPECT_EQ(accepted(checkTarget({"10.0.0.1", "9000", ""}, std::nullopt)).machine, "0");
    EXPECT_EQ(accepted(checkTarget({"10.0.0.1", "9000", "  "}, std::nullopt)).machine, "0");
    EXPECT_EQ(accepted(checkTarget({"10.0.0.1", "9000", "000"}, std::nullopt)).machine, "0");
}

TEST(TargetInputCheck, AddressPartsLoseLeadingZeros) {
    EXPECT_EQ(accepted(checkTarget({"192.168.001.010", "9000", "1"}, std::nullopt)).address, "192.168.1.10");
}

TEST(TargetInputCheck, RefusesAddressesThatAreNotDottedIpv4) {
    for (const char* address : {"", "192.168.1", "192.168.1.1.1", "192.168.1.256", "192.168..1", "192.168.1.",
                                "+1.2.3.4", "1.2.3.0001", "1.2 .3.4", "host.example", "１.2.3.4", "-1.2.3.4"}) {
        EXPECT_EQ(refusalOf(checkTarget({address, "9000", "1"}, std::nullopt)),
                  std::string("发送目标的IP地址不正确：") + address)
            << address;
    }
}

TEST(TargetInputCheck, RefusesPortsOutsideOneTo65535) {
    for (const char* port : {"", "0", "65536", "70000", "+80", "-1", "8 0", "80a", "99999999999999999999999"}) {
        EXPECT_EQ(refusalOf(checkTarget({"10.0.0.1", port, "1"}, std::nullopt)),
                  std::string("发送目标的端口不正确（1-65535）：") + port)
            << port;
    }
}

TEST(TargetInputCheck, RefusesMachinesOutsideZeroTo65535) {
    for (const char* machine : {"65536", "-1", "+1", "1 2", "0x10", "１"}) {
        EXPECT_EQ(refusalOf(checkTarget({"10.0.0.1", "9000", machine}, std::nullopt)),
                  std::string("发送目标的机号不正确（0-65535）：") + machine)
            << machine;
    }
}

TEST(TargetInputCheck, ARowOfTheTerminalListIsNamedFromOne) {
    EXPECT_EQ(refusalOf(checkTarget({"10.0.0.1", "70000", "1"}, 1)), "设备列表第2行的端口不正确（1-65535）：70000");
    EXPECT_EQ(refusalOf(checkTarget({"10.0.0", "9000", "1"}, 0)), "设备列表第1行的IP地址不正确：10.0.0");
    EXPECT_EQ(refusalOf(checkTarget({"10.0.0.1", "9000", "x"}, 11)), "设备列表第12行的机号不正确（0-65535）：x");
}

TEST(TargetInputCheck, TheFirstBadFieldIsReported) {
    EXPECT_EQ(refusalOf(checkTarget({"bad", "0", "x"}, std::nullopt)), "发送目标的IP地址不正确：bad");
    EXPECT_EQ(refusalOf(checkTarget({"10.0.0.1", "0", "x"}, std::nullopt)), "发送目标的端口不正确（1-65535）：0");
}

TEST(AmountInputCheck, AcceptsDigitsUpToTheWidthOfTheAmountField) {
    EXPECT_EQ(checkAmount("1000", 0), (Checked<std::string>(std::string("1000"))));
    EXPECT_EQ(checkAmount(" 0 ", 1), (Checked<std::string>(std::string("0"))));
    EXPECT_EQ(checkAmount("0042", 2), (Checked<std::string>(std::string("42"))));
    EXPECT_EQ(checkAmount("4294967295", 3), (Checked<std::string>(std::string("4294967295"))));
}

TEST(AmountInputCheck, RefusalNamesTheMeal) {
    EXPECT_EQ(refusalOf(checkAmount("4294967296", 0)), "早餐金额不正确（应为0-4294967295的整数）：4294967296");
    EXPECT_EQ(refusalOf(checkAmount("-5", 1)), "中餐金额不正确（应为0-4294967295的整数）：-5");
    EXPECT_EQ(refusalOf(checkAmount("", 2)), "晚餐金额不正确（应为0-4294967295的整数）：");
    EXPECT_EQ(refusalOf(checkAmount("1 000", 3)), "夜宵金额不正确（应为0-4294967295的整数）：1 000");
    for (const char* amount : {"+5", "1.5", "12a", "１２", "99999999999999999999999"})
        EXPECT_NE(refusalOf(checkAmount(amount, 0)), "") << amount;
}

TEST(TitleInputCheck, GivesTheGbkBytesOfTheTitle) {
    const Checked<std::string> title = checkTitle("欢迎使用IC消费机");
    ASSERT_EQ(title.index(), 0u);
    EXPECT_EQ(std::get<0>(title), "\xBB\xB6\xD3\xAD\xCA\xB9\xD3\xC3IC\xCF\xFB\xB7\xD1\xBB\xFA");
}

TEST(TitleInputCheck, RefusesCharactersGbkCannotHold) {
    EXPECT_EQ(refusalOf(checkTitle("食堂🍜")), "设备名称含有无法用GBK表示的字符");
    EXPECT_EQ(refusalOf(checkTitle("\xFF\xFE")), "设备名称含有无法用GBK表示的字符");
}

TEST(TitleCharacterCount, CountsAsTheTerminalsTitleLine) {
    const std::string nineChinese = *link::utf8ToGbk("一二三四五六七八九");
    ASSERT_EQ(nineChinese.size(), 18u);
    EXPECT_EQ(titleCharacterCount(nineChinese), 9u);
    EXPECT_LE(titleCharacterCount(nineChinese), kTitleCharacterLimit);

    EXPECT_EQ(titleCharacterCount("ABCDEFGHIJ"), 10u);
    EXPECT_GT(titleCharacterCount("ABCDEFGHIJ"), kTitleCharacterLimit);

    EXPECT_EQ(titleCharacterCount(*link::utf8ToGbk("欢迎使用IC消费机")), 9u);
}

TEST(TitleCharacterCount, LineBreaksAndALoneLeadByte) {
    EXPECT_EQ(titleCharacterCount(""), 0u);
    EXPECT_EQ(titleCharacterCount("A\r\nB"), 3u);
    EXPECT_EQ(titleCharacterCount("A\rB\n"), 4u);
    // A lead byte at the end has no second byte to pair with.
    EXPECT_EQ(titleCharacterCount("AB\xB0"), 3u);
    EXPECT_EQ(titleCharacterCount("\xB0\xA1\xB0"), 2u);
}

} // namespace
