#include "link/Utf16Text.h"

#include <gtest/gtest.h>

namespace vorlanx::link {
namespace {

TEST(Utf16Text, ChineseAndCharactersBeyondTheBasicPlaneSurviveTheRoundTrip) {
    const std::string text = "张三 食堂 A1 \xF0\x9F\x8D\x9A";
    const std::u16string wide = utf8ToUtf16(text);
    EXPECT_EQ(wide, u"张三 食堂 A1 \U0001F35A");
    EXPECT_EQ(utf16ToUtf8(wide), text);
}

TEST(Utf16Text, BrokenInputBecomesReplacementCharacters) {
    EXPECT_EQ(utf8ToUtf16("a\xE5\xBC"), u"a\uFFFD\uFFFD");
    EXPECT_EQ(utf16ToUtf8(std::u16string(1, char16_t{0xD800})), "\xEF\xBF\xBD");
}

} // namespace
} // namespace vorlanx::link
