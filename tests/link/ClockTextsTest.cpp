#include "link/ClockTexts.h"
#include "link/SharedClock.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

std::tm at(int year, int month, int day, int wday, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_wday = wday;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

TEST(ClockTexts, FridayExampleGivesCodeDateAndTime) {
    const auto c = vorlanx::link::makeClockTexts(at(2020, 5, 8, 5, 10, 5, 3));
    EXPECT_EQ(c.code, "2020050805100503");
    EXPECT_EQ(c.date, "2020-05-08");
    EXPECT_EQ(c.time, "10:05:03");
    EXPECT_EQ(c.panelText(), "2020-05-08 10:05:03");
}

TEST(ClockTexts, WeekdayCodeRunsFromSundayToSaturday) {
    const auto sunday = vorlanx::link::makeClockTexts(at(2020, 5, 10, 0, 9, 5, 7));
    EXPECT_EQ(sunday.code, "2020051000090507");
    EXPECT_EQ(sunday.panelText(), "2020-05-10 09:05:07");
    const auto saturday = vorlanx::link::makeClockTexts(at(2020, 5, 9, 6, 23, 59, 59));
    EXPECT_EQ(saturday.code, "2020050906235959");
}

TEST(ClockTexts, EveryPartAfterTheYearHasTwoDigits) {
    const auto c = vorlanx::link::makeClockTexts(at(2021, 1, 2, 6, 0, 0, 0));
    EXPECT_EQ(c.code.size(), 16u);
    EXPECT_EQ(c.code, "2021010206000000");
    EXPECT_EQ(c.date, "2021-01-02");
    EXPECT_EQ(c.time, "00:00:00");
}

TEST(SharedClock, ReadersAlwaysSeeAWholeValue) {
    vorlanx::link::SharedClock clock;
    const auto a = vorlanx::link::makeClockTexts(at(2020, 5, 8, 5, 10, 5, 3));
    const auto b = vorlanx::link::makeClockTexts(at(2021, 12, 31, 5, 23, 59, 59));
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i)
            clock.set(i % 2 ? a : b);
        done = true;
    });
    int mixed = 0;
    while (!done) {
        const auto seen = clock.get();
        const bool isA = seen.code == a.code && seen.date == a.date && seen.time == a.time;
        const bool isB = seen.code == b.code && seen.date == b.date && seen.time == b.time;
        const bool isInitial = seen.code.size() == 16;
        if (!isA && !isB && !isInitial)
            ++mixed;
        if ((seen.code == a.code) != (seen.date == a.date))
            ++mixed;
    }
    writer.join();
    EXPECT_EQ(mixed, 0);
}

} // namespace
