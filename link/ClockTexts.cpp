#include "link/ClockTexts.h"

#include <cstdio>

namespace vorlanx::link {

namespace {
std::string twoDigits(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}
} // namespace

ClockTexts makeClockTexts(const std::tm& t) {
    const std::string year = std::to_string(t.tm_year + 1900);
    const std::string month = twoDigits(t.tm_mon + 1);
    const std::string day = twoDigits(t.tm_mday);
    const std::string hour = twoDigits(t.tm_hour);
    const std::string minute = twoDigits(t.tm_min);
    const std::string second = twoDigits(t.tm_sec);
    ClockTexts c;
    c.code = year + month + day + twoDigits(t.tm_wday) + hour + minute + second;
    c.date = year + "-" + month + "-" + day;
    c.time = hour + ":" + minute + ":" + second;
    return c;
}

std::tm localTime(std::time_t when) {
    std::tm out{};
#ifdef _WIN32
    localtime_s(&out, &when);
#else
    localtime_r(&when, &out);
#endif
    return out;
}

ClockTexts currentClockTexts() { return makeClockTexts(localTime(std::time(nullptr))); }

} // namespace vorlanx::link
