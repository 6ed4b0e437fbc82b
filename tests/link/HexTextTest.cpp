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
