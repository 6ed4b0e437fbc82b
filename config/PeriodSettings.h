#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <string>

namespace vorlanx::config {

// The four meal periods 早, 中, 晚, 夜 in this order, as terminals number them 1 to 4.
inline constexpr std::size_t kPeriodCount = 4;

// Start and end box texts of one period, HH:MM:SS as typed; nothing here checks them.
struct PeriodTime {
    std::string start;
    std::string end;

    bool operator==(const PeriodTime&) const = default;
};

// Amounts are fen, as the decimal text typed.
struct PeriodSettings {
    std::array<PeriodTime, kPeriodCount> times;
    std::array<std::string, kPeriodCount> amounts;

    bool operator==(const PeriodSettings&) const = default;
};

// The initial texts of the boxes, which are also what an empty entry of conf.ini falls back to.
PeriodSettings defaultPeriodSettings();

// The period and amount boxes as conf.ini in serviceDir fills them at start-up. A missing file
// gives the defaults, which equal the boxes' initial texts.
PeriodSettings loadPeriodSettings(const std::filesystem::path& serviceDir);

// Write "time1".."time4" (start "-" end) and "money1".."money4" after a command has sent them.
// False when conf.ini could not be written; the service goes on either way.
bool savePeriodTimes(const std::filesystem::path& serviceDir, const std::array<PeriodTime, kPeriodCount>& times);
bool savePeriodAmounts(const std::filesystem::path& serviceDir, const std::array<std::string, kPeriodCount>& amounts);

} // namespace vorlanx::config
