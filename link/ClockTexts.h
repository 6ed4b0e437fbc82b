#pragma once

#include <ctime>
#include <string>

namespace vorlanx::link {

// The three clock texts the service shares: the 16-digit clock code that terminals are set
// with, and the date and time texts that payments are booked with.
struct ClockTexts {
    std::string code; // YYYYMMDD + weekday code (00 Sunday .. 06 Saturday) + hhmmss
    std::string date; // YYYY-MM-DD
    std::string time; // hh:mm:ss

    // Date text, one blank, time text: what the clock panel shows.
    std::string panelText() const { return date + " " + time; }
};

ClockTexts makeClockTexts(const std::tm& local);

// The clock texts of this moment in local time.
ClockTexts currentClockTexts();

// Local broken-down time of a time point, thread-safe on every platform.
std::tm localTime(std::time_t when);

} // namespace vorlanx::link
