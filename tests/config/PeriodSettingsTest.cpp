#include "config/PeriodSettings.h"

#include "tests/config/SettingsTestDir.h"

#include <gtest/gtest.h>

namespace {

using namespace vorlanx::config;
using vorlanx::test::SettingsTestDir;

constexpr std::string_view kPeriodSectionGbk = "\xCA\xB1\xB6\xCE\xB2\xCE\xCA\xFD"; // 时段参数
constexpr std::string_view kAmountSectionGbk = "\xCA\xB1\xB6\xCE\xBD\xF0\xB6\xEE"; // 时段金额

std::string periodFile(std::string_view time2) {
    return "[" + std::string(kPeriodSectionGbk) + "]\r\ntime2=" + std::string(time2) + "\r\n";
}

TEST(PeriodSettings, NoFileGivesTheInitialBoxTexts) {
    SettingsTestDir dir;
    const PeriodSettings settings = loadPeriodSettings(dir.path());
    EXPECT_EQ(settings.times[0], (PeriodTime{"05:00:01", "09:30:01"}));
    EXPECT_EQ(settings.times[1], (PeriodTime{"09:31:01", "14:00:01"}));
    EXPECT_EQ(settings.times[2], (PeriodTime{"14:01:01", "19:00:01"}));
    EXPECT_EQ(settings.times[3], (PeriodTime{"19:01:01", "23:59:59"}));
    for (const std::string& amount : settings.amounts)
        EXPECT_EQ(amount, "100");
}

TEST(PeriodSettings, FileWithOnlyTheDatabasePartFallsBackToDefaults) {
    SettingsTestDir dir;
    dir.write(dir.confIni(), "[sername]\r\ntype=0\r\n[mssql]\r\n\xB7\xFE\xCE\xF1=127.0.0.1\r\n");
    EXPECT_EQ(loadPeriodSettings(dir.path()), defaultPeriodSettings());
}

TEST(PeriodSettings, StoredLunchPeriodFillsBothBoxes) {
    SettingsTestDir dir;
    dir.write(dir.confIni(), periodFile("10:00:00-13:00:00"));
    const PeriodSettings settings = loadPeriodSettings(dir.path());
    EXPECT_EQ(settings.times[1], (PeriodTime{"10:00:00", "13:00:00"}));
    EXPECT_EQ(settings.times[0], defaultPeriodSettings().times[0]);
}

TEST(PeriodSettings, EmptyStartGivesTheWholeDefaultPeriod) {
    SettingsTestDir dir;
    dir.write(dir.confIni(), periodFile("-13:00:00"));
    EXPECT_EQ(loadPeriodSettings(dir.path()).times[1], (PeriodTime{"09:31:01", "14:00:01"}));
}

TEST(PeriodSettings, StartWithoutEndKeepsThePeriodsUsualEnd) {
    SettingsTestDir dir;
    dir.write(dir.confIni(), periodFile("10:00:00"));
    EXPECT_EQ(loadPeriodSettings(dir.path()).times[1], (PeriodTime{"10:00:00", "14:00:01"}));
    dir.write(dir.confIni(), periodFile("10:00:00-"));
    EXPECT_EQ(loadPeriodSettings(dir.path()).times[1], (PeriodTime{"10:00:00", "14:00:01"}));
    // An empty piece between two dashes is a piece: the end box shows it, empty.
    dir.write(dir.confIni(), periodFile("10:00:00--13:00:00"));
    EXPECT_EQ(loadPeriodSettings(dir.path()).times[1], (PeriodTime{"10:00:00", ""}));
    // Nothing is validated: text that is no time is shown as stored.
    dir.write(dir.confIni(), periodFile("noon-later-more"));
    EXPECT_EQ(loadPeriodSettings(dir.path()).times[1], (PeriodTime{"noon", "later"}));
}

TEST(PeriodSettings, SavedTimesAndAmountsAreTheFileBytesAndReadBack) {
    SettingsTestDir dir;
    const std::string databasePart = "[sername]\r\ntype=1\r\n";
    dir.write(dir.confIni(), databasePart);

    const std::array<PeriodTime, kPeriodCount> times = {
        PeriodTime{"06:00:00", "09:00:00"}, PeriodTime{"10:00:00", "13:00:00"}, PeriodTime{"16:00:00", "19:00:00"},
        PeriodTime{"20:00:00", "23:00:00"}};
    const std::array<std::string, kPeriodCount> amounts = {"300", "1250", "1000", "5"};
    ASSERT_TRUE(savePeriodTimes(dir.path(), times));
    ASSERT_TRUE(savePeriodAmounts(dir.path(), amounts));

    EXPECT_EQ(SettingsTestDir::read(dir.confIni()),
              databasePart + "[" + std::string(kPeriodSectionGbk) +
                  "]\r\n"
                  "time1=06:00:00-09:00:00\r\ntime2=10:00:00-13:00:00\r\n"
                  "time3=16:00:00-19:00:00\r\ntime4=20:00:00-23:00:00\r\n"
                  "[" +
                  std::string(kAmountSectionGbk) + "]\r\nmoney1=300\r\nmoney2=1250\r\nmoney3=1000\r\nmoney4=5\r\n");

    const PeriodSettings loaded = loadPeriodSettings(dir.path());
    EXPECT_EQ(loaded.times, times);
    EXPECT_EQ(loaded.amounts, amounts);
}

TEST(PeriodSettings, EmptyAmountFallsBackAlone) {
    SettingsTestDir dir;
    dir.write(dir.confIni(), "[" + std::string(kAmountSectionGbk) + "]\r\nmoney1=\r\nmoney3=250\r\n");
    const PeriodSettings settings = loadPeriodSettings(dir.path());
    EXPECT_EQ(settings.amounts, (std::array<std::string, kPeriodCount>{"100", "100", "250", "100"}));
}

} // namespace
