#include "db/ReportText.h"
#include "db/TextTable.h"

#include <gtest/gtest.h>

namespace vorlanx::db {
namespace {

TEST(ReportTextTest, CsvFieldsWithCommasQuotesOrLineBreaksAreQuoted) {
    EXPECT_EQ(csvField("张三"), "张三");
    EXPECT_EQ(csvField("李, 四"), "\"李, 四\"");
    EXPECT_EQ(csvField("王\"五\""), "\"王\"\"五\"\"\"");
    EXPECT_EQ(csvField("a\nb"), "\"a\nb\"");
    EXPECT_EQ(csvField(""), "");
}

TEST(ReportTextTest, YuanHaveTwoDecimals) {
    EXPECT_EQ(yuanText(0), "0.00");
    EXPECT_EQ(yuanText(5), "0.05");
    EXPECT_EQ(yuanText(1250), "12.50");
    EXPECT_EQ(yuanText(-5), "-0.05");
    EXPECT_EQ(yuanText(123456789), "1234567.89");
}

TEST(ReportTextTest, ChineseCharactersAreTwoColumnsWide) {
    EXPECT_EQ(displayWidth("abc"), 3u);
    EXPECT_EQ(displayWidth("早餐"), 4u);
    EXPECT_EQ(displayWidth("D00001 张三"), 11u);
    EXPECT_EQ(displayWidth("金额(元)"), 8u);
    EXPECT_EQ(displayWidth("ＡＢ"), 4u);
}

TEST(ReportTextTest, DatesMustBeRealDays) {
    EXPECT_TRUE(isDate("2020-05-08"));
    EXPECT_TRUE(isDate("2024-02-29"));
    EXPECT_FALSE(isDate("2023-02-29"));
    EXPECT_FALSE(isDate("2020-13-01"));
    EXPECT_FALSE(isDate("2020-5-8"));
    EXPECT_FALSE(isDate("2020/05/08"));
    EXPECT_FALSE(isDate("today"));
    EXPECT_TRUE(isDate(todayDate()));
}

TEST(ReportTextTest, TableColumnsLineUpInATerminal) {
    TextTable table({"时段", "笔数"}, {false, true});
    table.addRow({"早餐", "5"});
    table.addRow({"x", "12345"});
    EXPECT_EQ(table.text(), "时段   笔数\n"
                            "早餐      5\n"
                            "x     12345\n");
    EXPECT_EQ(table.csv(), "时段,笔数\r\n早餐,5\r\nx,12345\r\n");
}

} // namespace
} // namespace vorlanx::db
