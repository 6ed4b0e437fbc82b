#include "link/HexText.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(HexText, ByteToHexIsTwoUpperCaseDigits) {
    EXPECT_EQ(vorlanx::link::byteToHex(0), "00");
    EXPECT_EQ(vorlanx::link::byteToHex(10), "0A");
    EXPECT_EQ(vorlanx::link::byteToHex(255), "FF");
    EXPECT_EQ(vorlanx::link::byteToHex(0x1F), "1F");
}

TEST(HexText, BytesToHexJoinsBytesWithoutSeparators) {
    const std::vector<std::uint8_t> bytes{0xFE, 0x01, 0x0A};
    EXPECT_EQ(vorlanx::link::bytesToHex(bytes), "FE010A");
    EXPECT_EQ(vorlanx::link::bytesToHex({}), "");
}

} // namespace

namespace {

using vorlanx::link::convertBase;
using vorlanx::link::hexToBytes;
using vorlanx::link::hexToUInt64;
using vorlanx::link::zeroFill;

using Bytes = std::vector<std::uint8_t>;

TEST(ConvertBase, WorkedExamples) {
    EXPECT_EQ(convertBase("255", 10, 16), "FF");
    EXPECT_EQ(convertBase("1", 10, 16), "1");
    EXPECT_EQ(convertBase("0100", 16, 10), "256");
    EXPECT_EQ(convertBase("ff", 16, 10), "255");
    EXPECT_EQ(convertBase("65535", 10, 16), "FFFF");
    EXPECT_EQ(convertBase("00BC614E", 16, 10), "12345678");
}

TEST(ConvertBase, WidestFieldConvertsExactlyBothWays) {
    EXPECT_EQ(convertBase("4294967295", 10, 16), "FFFFFFFF");
    EXPECT_EQ(convertBase("FFFFFFFF", 16, 10), "4294967295");
}

TEST(ConvertBase, SixtyFourBitValuesConvertExactly) {
    EXPECT_EQ(convertBase("18446744073709551615", 10, 16), "FFFFFFFFFFFFFFFF");
    EXPECT_EQ(convertBase("FFFFFFFFFFFFFFFF", 16, 10), "18446744073709551615");
}

TEST(ConvertBase, EmptyTextIsZeroUnlessBasesAreEqual) {
    EXPECT_EQ(convertBase("", 10, 16), "0");
    EXPECT_EQ(convertBase("", 16, 16), "");
    EXPECT_EQ(convertBase("000", 16, 10), "0");
}

TEST(ConvertBase, EqualBasesKeepTheNormalisedText) {
    EXPECT_EQ(convertBase("0012", 10, 10), "0012");
    EXPECT_EQ(convertBase("00bc", 16, 16), "00BC");
}

TEST(ConvertBase, FullWidthDigitsAndLettersAreAccepted) {
    EXPECT_EQ(convertBase("０012", 10, 16), "C");
    EXPECT_EQ(convertBase("００１２", 10, 16), "C");
    EXPECT_EQ(convertBase("ｆｆ", 16, 10), "255");
    EXPECT_EQ(convertBase("ＦＦ", 16, 10), "255");
}

TEST(ConvertBase, BaseOutOfRange) {
    EXPECT_EQ(convertBase("5", 1, 10), "参数错误-进制只能在2-36之间");
    EXPECT_EQ(convertBase("5", 10, 37), "参数错误-进制只能在2-36之间");
    EXPECT_EQ(convertBase("5", 0, 0), "参数错误-进制只能在2-36之间");
}

TEST(ConvertBase, BadDigitNamesTheBaseInChineseNumerals) {
    const auto error = [](const std::string& input, const std::string& numeral) {
        return "参数错误-" + input + "不是一个有效的" + numeral + "进制数！";
    };
    EXPECT_EQ(convertBase("2", 2, 10), error("2", "二"));
    EXPECT_EQ(convertBase("9", 9, 10), error("9", "九"));
    EXPECT_EQ(convertBase("-5", 10, 16), error("-5", "一十"));
    EXPECT_EQ(convertBase("B", 11, 10), error("B", "一十一"));
    EXPECT_EQ(convertBase("1G", 16, 10), error("1G", "一十六"));
    EXPECT_EQ(convertBase("1g", 16, 10), error("1G", "一十六"));
    EXPECT_EQ(convertBase("K", 20, 10), error("K", "二十"));
    EXPECT_EQ(convertBase("Z!", 36, 10), error("Z!", "三十六"));
    EXPECT_EQ(convertBase("1 2", 10, 16), error("1 2", "一十"));
    EXPECT_EQ(convertBase("张", 10, 16), error("张", "一十"));
}

TEST(ConvertBase, EveryBaseHasItsNumeral) {
    const char* numerals[] = {"二",     "三",     "四",     "五",     "六",     "七",     "八",     "九",     "一十",
                              "一十一", "一十二", "一十三", "一十四", "一十五", "一十六", "一十七", "一十八", "一十九",
                              "二十",   "二十一", "二十二", "二十三", "二十四", "二十五", "二十六", "二十七", "二十八",
                              "二十九", "三十",   "三十一", "三十二", "三十三", "三十四", "三十五", "三十六"};
    for (int base = 2; base <= 36; ++base) {
        EXPECT_EQ(convertBase("?", base, 10), std::string("参数错误-?不是一个有效的") + numerals[base - 2] + "进制数！")
            << base;
    }
}

TEST(ZeroFill, FillsOnTheLeftAndNeverCuts) {
    EXPECT_EQ(zeroFill("1", 4), "0001");
    EXPECT_EQ(zeroFill("3E8", 8), "000003E8");
    EXPECT_EQ(zeroFill("12345", 4), "12345");
    EXPECT_EQ(zeroFill("", 2), "00");
    EXPECT_EQ(zeroFill(convertBase("1000", 10, 16), 8), "000003E8");
}

TEST(HexToBytes, TakesTwoDigitsAtATime) {
    EXPECT_EQ(hexToBytes("FE0100010001"), (Bytes{0xFE, 0x01, 0x00, 0x01, 0x00, 0x01}));
    EXPECT_EQ(hexToBytes("ABC"), (Bytes{0xAB, 0x0C}));
    EXPECT_EQ(hexToBytes("zz"), (Bytes{0x00}));
    EXPECT_EQ(hexToBytes(""), Bytes{});
    EXPECT_EQ(hexToBytes("fe"), (Bytes{0xFE}));
}

TEST(HexToUInt64, OnlyTheLastSixteenDigitsCount) {
    EXPECT_EQ(hexToUInt64("1FFFFFFFFFFFFFFFE"), 0xFFFFFFFFFFFFFFFEu);
    EXPECT_EQ(hexToUInt64("FFFFFFFFFFFFFFFF"), 0xFFFFFFFFFFFFFFFFu);
}

TEST(HexToUInt64, StrayCharactersAreSkipped) {
    EXPECT_EQ(hexToUInt64("1 2"), 18u);
    EXPECT_EQ(hexToUInt64("zz"), 0u);
    EXPECT_EQ(hexToUInt64(""), 0u);
    EXPECT_EQ(hexToUInt64("aB"), 0xABu);
}

} // namespace
