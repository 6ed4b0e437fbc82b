#include "link/Gbk.h"

#include <gtest/gtest.h>

namespace {

using namespace vorlanx::link;

TEST(Gbk, ChineseTextRoundTripsThroughGbkBytes) {
    // 时段参数 in GBK: CA B1 B6 CE B2 CE CA FD
    const auto gbk = utf8ToGbk("时段参数");
    ASSERT_TRUE(gbk.has_value());
    EXPECT_EQ(*gbk, "\xCA\xB1\xB6\xCE\xB2\xCE\xCA\xFD");
    EXPECT_EQ(gbkToUtf8(*gbk), "时段参数");
}

TEST(Gbk, AsciiIsUnchangedAndEmptyStaysEmpty) {
    EXPECT_EQ(utf8ToGbk("money1 = 100"), "money1 = 100");
    EXPECT_EQ(utf8ToGbk(""), "");
    EXPECT_EQ(gbkToUtf8(""), "");
}

TEST(Gbk, BadInputIsRefusedOrReplacedNeverPassedThrough) {
    EXPECT_FALSE(utf8ToGbk("\xFF\xFE").has_value());
    EXPECT_FALSE(utf8ToGbk("emoji \xF0\x9F\x98\x80").has_value()); // not in GBK
    EXPECT_EQ(toGbk("a\xF0\x9F\x98\x80" "b"), "a?b");
    EXPECT_FALSE(gbkToUtf8("\x81").has_value()); // lead byte without its trail
    EXPECT_EQ(fromGbk("\xC4\xE3\x81"), "你?");
}

} // namespace
