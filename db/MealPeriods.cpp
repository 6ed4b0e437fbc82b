#include "db/MealPeriods.h"

namespace vorlanx::db {

namespace {

int twoDigits(std::string_view text, std::size_t at) {
    const char high = text[at];
    const char low = text[at + 1];
    if (high < '0' || high > '9' || low < '0' || low > '9')
        return -1;
    return (high - '0') * 10 + (low - '0');
}

} // namespace

MealPeriods::MealPeriods(const config::PeriodSettings& settings) {
    for (std::size_t i = 0; i < config::kPeriodCount; ++i)
        m_spans[i] = Span{secondsOf(settings.times[i].start), secondsOf(settings.times[i].end)};
    for (int second = 0; second < static_cast<int>(m_bySecond.size()); ++second) {
        std::size_t period = kOther;
        for (std::size_t i = 0; i < config::kPeriodCount && period == kOther; ++i) {
            const Span& span = m_spans[i];
            // A period typed wrongly in conf.ini counts nothing rather than guessing.
            if (span.start < 0 || span.end < 0)
                continue;
            const bool inside = span.start <= span.end ? second >= span.start && second <= span.end
                                                       : second >= span.start || second <= span.end;
            if (inside)
                period = i;
        }
        m_bySecond[static_cast<std::size_t>(second)] = static_cast<unsigned char>(period);
    }
}

std::size_t MealPeriods::periodOf(std::string_view time) const {
    const int second = secondsOf(time);
    return second < 0 ? kOther : m_bySecond[static_cast<std::size_t>(second)];
}

std::string_view MealPeriods::name(std::size_t period) {
    static constexpr std::array<std::string_view, kGroups> names{"早餐", "中餐", "晚餐", "夜宵", "其他"};
    return period < names.size() ? names[period] : names[kOther];
}

int MealPeriods::secondsOf(std::string_view time) {
    if (time.size() != 8 || time[2] != ':' || time[5] != ':')
        return -1;
    const int hours = twoDigits(time, 0);
    const int minutes = twoDigits(time, 3);
    const int seconds = twoDigits(time, 6);
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59)
        return -1;
    return (hours * 60 + minutes) * 60 + seconds;
}

} // namespace vorlanx::db
