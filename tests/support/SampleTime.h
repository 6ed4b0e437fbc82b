#pragma once

#include <ctime>

namespace vorlanx::test {

// A local time on Friday 8 May 2020, the day of the worked examples.
inline std::tm may8th2020(int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = 2020 - 1900;
    t.tm_mon = 4;
    t.tm_mday = 8;
    t.tm_wday = 5;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

} // namespace vorlanx::test
