#include "config/PeriodSettings.h"

#include "config/IniFile.h"

#include <string_view>
#include <vector>

namespace vorlanx::config {

namespace {

constexpr std::string_view kTimeSection = "时段参数";
constexpr std::string_view kAmountSection = "时段金额";
constexpr std::string_view kDefaultAmount = "100";

std::string periodKey(std::string_view stem, std::size_t index) {
    return std::string(stem) + std::to_string(index + 1);
}

// Every stretch before a "-" is a piece, also an empty one; what follows the last "-" is a
// piece only when it is not empty. So "-13:00:00" has an empty first piece.
std::vector<std::string_view> splitAtDash(std::string_view value) {
    std::vector<std::string_view> pieces;
    std::size_t begin = 0;
    for (std::size_t dash = value.find('-'); dash != std::string_view::npos; dash = value.find('-', begin)) {
        pieces.push_back(value.substr(begin, dash - begin));
        begin = dash + 1;
    }
    if (begin < value.size())
        pieces.push_back(value.substr(begin));
    return pieces;
}

// A stored period replaces both boxes or neither: without a start the whole period falls back.
PeriodTime periodFromValue(std::string_view value, const PeriodTime& fallback) {
    const auto pieces = splitAtDash(value);
    if (pieces.empty() || pieces.front().empty())
        return fallback;
    // A start without an end keeps the period's usual end, so terminals never get an empty time.
    return PeriodTime{std::string(pieces[0]), pieces.size() > 1 ? std::string(pieces[1]) : fallback.end};
}

} // namespace

PeriodSettings defaultPeriodSettings() {
    PeriodSettings settings;
    settings.times = {PeriodTime{"05:00:01", "09:30:01"}, PeriodTime{"09:31:01", "14:00:01"},
                      PeriodTime{"14:01:01", "19:00:01"}, PeriodTime{"19:01:01", "23:59:59"}};
    settings.amounts.fill(std::string(kDefaultAmount));
    return settings;
}

PeriodSettings loadPeriodSettings(const std::filesystem::path& serviceDir) {
    PeriodSettings settings = defaultPeriodSettings();
    const IniFile file(configFilePath(serviceDir));
    if (!file.exists())
        return settings;
    for (std::size_t i = 0; i < kPeriodCount; ++i)
        settings.times[i] = periodFromValue(file.readValue(kTimeSection, periodKey("time", i)), settings.times[i]);
    for (std::size_t i = 0; i < kPeriodCount; ++i) {
        std::string amount = file.readValue(kAmountSection, periodKey("money", i));
        if (!amount.empty())
            settings.amounts[i] = std::move(amount);
    }
    return settings;
}

bool savePeriodTimes(const std::filesystem::path& serviceDir, const std::array<PeriodTime, kPeriodCount>& times) {
    const IniFile file(configFilePath(serviceDir));
    bool written = true;
    for (std::size_t i = 0; i < kPeriodCount; ++i)
        written = file.writeValue(kTimeSection, periodKey("time", i), times[i].start + "-" + times[i].end) && written;
    return written;
}

bool savePeriodAmounts(const std::filesystem::path& serviceDir, const std::array<std::string, kPeriodCount>& amounts) {
    const IniFile file(configFilePath(serviceDir));
    bool written = true;
    for (std::size_t i = 0; i < kPeriodCount; ++i)
        written = file.writeValue(kAmountSection, periodKey("money", i), amounts[i]) && written;
    return written;
}

} // namespace vorlanx::config
