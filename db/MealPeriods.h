#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "config/PeriodSettings.h"

namespace vorlanx::db {

// The four meal periods of conf.ini ("时段参数") as the office's reports count them. Start and end
// are both inclusive; a period whose end lies before its start runs past midnight; where periods
// overlap the first in breakfast-to-night order wins; a time in none of them is "其他".
class MealPeriods {
public:
    static constexpr std::size_t kOther = config::kPeriodCount;
    static constexpr std::size_t kGroups = config::kPeriodCount + 1;

    explicit MealPeriods(const config::PeriodSettings& settings);

    // 0..3 for 早餐..夜宵, kOther for no period, also for a record time that is not HH:MM:SS.
    std::size_t periodOf(std::string_view time) const;
    // "早餐", "中餐", "晚餐", "夜宵" or "其他".
    static std::string_view name(std::size_t period);
    // Seconds since midnight of "HH:MM:SS", or -1.
    static int secondsOf(std::string_view time);

private:
    struct Span {
        int start = -1;
        int end = -1;
    };
    std::array<Span, config::kPeriodCount> m_spans;
    // The period of every second of the day, so that a million bookings cost a lookup each.
    std::array<unsigned char, 24 * 60 * 60> m_bySecond{};
};

} // namespace vorlanx::db
