// GBK on Windows goes through code page 936 by name. The process's ANSI code page is GBK only on a
// Chinese Windows (under Wine it is 1252 unless the locale is Chinese), and the bytes of frames and
// conf.ini must not depend on it.

#include "link/Gbk.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using namespace vorlanx::link;

TEST(GbkWin32, BytesAreGbkWhateverTheAnsiCodePage) {
    SCOPED_TRACE("ANSI code page " + std::to_string(GetACP()));
    // 食堂 and 张三 in GBK.
    EXPECT_EQ(utf8ToGbk("食堂"), "\xCA\xB3\xCC\xC3");
    EXPECT_EQ(gbkToUtf8("\xD5\xC5\xC8\xFD"), "张三");
    EXPECT_EQ(toGbk("时段金额"), "\xCA\xB1\xB6\xCE\xBD\xF0\xB6\xEE");
    EXPECT_EQ(fromGbk("\xCA\xB1\xB6\xCE\xBD\xF0\xB6\xEE"), "时段金额");
}

TEST(GbkWin32, NoBestFitStandsInForACharacterGbkLacks) {
    // Windows would quietly put a look-alike or "?" for a character outside the code page; the
    // strict form refuses it and the lenient form marks exactly that character.
    EXPECT_FALSE(utf8ToGbk("한").has_value());
    EXPECT_FALSE(utf8ToGbk("À").has_value()) << "not an A: GBK has only the small pinyin letters";
    EXPECT_EQ(utf8ToGbk("à"), "\xA8\xA4");
    EXPECT_EQ(toGbk("a한b"), "a?b");
    EXPECT_FALSE(gbkToUtf8("\xCA").has_value());
    EXPECT_EQ(fromGbk("\xCA\xB3\xCA"), "食?");
}

} // namespace
