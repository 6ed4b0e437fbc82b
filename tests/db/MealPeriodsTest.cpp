#include "db/MealPeriods.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "config/IniFile.h"

namespace vorlanx::db {
namespace {

MealPeriods periods(std::array<config::PeriodTime, config::kPeriodCount> times) {
    config::PeriodSettings settings = config::defaultPeriodSettings();
    settings.times = std::move(times);
    return MealPeriods(settings);
}

TEST(MealPeriodsTest, StartAndEndOfADefaultPeriodAreInsideTheSecondsAroundThemOutside) {
    const MealPeriods meals(config::defaultPeriodSettings());
    EXPECT_EQ(meals.periodOf("05:00:00"), MealPeriods::kOther);
    EXPECT_EQ(meals.periodOf("05:00:01"), 0u);
    EXPECT_EQ(meals.periodOf("09:30:01"), 0u);
    EXPECT_EQ(meals.periodOf("09:30:02"), MealPeriods::kOther);
    EXPECT_EQ(meals.periodOf("09:31:00"), MealPeriods::kOther);
    EXPECT_EQ(meals.periodOf("09:31:01"), 1u);
    EXPECT_EQ(meals.periodOf("14:00:01"), 1u);
    EXPECT_EQ(meals.periodOf("14:01:01"), 2u);
    EXPECT_EQ(meals.periodOf("19:00:02"), MealPeriods::kOther);
    EXPECT_EQ(meals.periodOf("19:01:01"), 3u);
    EXPECT_EQ(meals.periodOf("23:59:59"), 3u);
    EXPECT_EQ(meals.periodOf("00:00:00"), MealPeriods::kOther);
    EXPECT_EQ(MealPeriods::name(0), "早餐");
    EXPECT_EQ(MealPeriods::name(3), "夜宵");
    EXPECT_EQ(MealPeriods::name(MealPeriods::kOther), "其他");
}

TEST(MealPeriodsTest, APeriodEndingBeforeItStartsRunsPastMidnight) {
    const MealPeriods meals = periods({config::PeriodTime{"06:00:00", "09:00:00"},
                                       {"11:00:00", "13:00:00"},
                                       {"17:00:00", "19:00:00"},
                                       {"22:00:00", "02:00:00"}});
    EXPECT_EQ(meals.periodOf("21:59:59"), MealPeriods::kOther);
    EXPECT_EQ(meals.periodOf("22:00:00"), 3u);
    EXPECT_EQ(meals.periodOf("23:59:59"), 3u);
    EXPECT_EQ(meals.periodOf("00:00:00"), 3u);
    EXPECT_EQ(meals.periodOf("02:00:00"), 3u);
    EXPECT_EQ(meals.periodOf("02:00:01"), MealPeriods::kOther);
    EXPECT_EQ(meals.periodOf("12:00:00"), 1u);
}

TEST(MealPeriodsTest, TheFirstOfOverlappingPeriodsWinsAndBadTimesAreOther) {
    const MealPeriods meals = periods({config::PeriodTime{"06:00:00", "10:00:00"},
                                       {"09:00:00", "13:00:00"},
                                       {"bad", "19:00:00"},
                                       {"20:00:00", "25:00:00"}});
    EXPECT_EQ(meals.periodOf("09:30:00"), 0u);
    EXPECT_EQ(meals.periodOf("10:00:01"), 1u);
    EXPECT_EQ(meals.periodOf("18:00:00"), MealPeriods::kOther);
    EXPECT_EQ(meals.periodOf("21:00:00"), MealPeriods::kOther);
    EXPECT_EQ(meals.periodOf("7:00:00"), MealPeriods::kOther);
    EXPECT_EQ(meals.periodOf("24:00:00"), MealPeriods::kOther);
    EXPECT_EQ(meals.periodOf(""), MealPeriods::kOther);
}

TEST(MealPeriodsTest, PeriodsComeFromConfIniBesideTheDatabase) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("vorlanx-meals-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    ASSERT_TRUE(config::IniFile(dir / "conf.ini").writeValue("时段参数", "time2", "10:00:00-12:00:00"));
    const MealPeriods meals(config::loadPeriodSettings(dir));
    std::filesystem::remove_all(dir);
    EXPECT_EQ(meals.periodOf("09:59:59"), MealPeriods::kOther);
    EXPECT_EQ(meals.periodOf("10:00:00"), 1u);
    EXPECT_EQ(meals.periodOf("12:00:01"), MealPeriods::kOther);
    EXPECT_EQ(meals.periodOf("05:00:01"), 0u);
}

} // namespace
} // namespace vorlanx::db
