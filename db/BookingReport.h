#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/MealPeriods.h"

namespace vorlanx::db {

class SqliteConnection;

enum class ReportGrouping { Meal, Day, Terminal, Holder };

// Bookings of one group: online and offline apart, amounts in fen.
struct ReportRow {
    std::string label;
    std::uint64_t onlineCount = 0;
    std::int64_t onlineFen = 0;
    std::uint64_t offlineCount = 0;
    std::int64_t offlineFen = 0;
};

struct Report {
    ReportGrouping grouping = ReportGrouping::Meal;
    std::string from;
    std::string to;
    std::vector<ReportRow> rows;
    ReportRow total;
};

// Count and sum of the bookings whose record date lies from..to (inclusive), grouped by meal
// period, record date, terminal or card holder. A booking's time is its record time: for an
// offline record the time the terminal recorded, not when it was uploaded. Reads one snapshot of
// the file, so the service may go on booking meanwhile.
class BookingReport {
public:
    BookingReport(SqliteConnection& db, MealPeriods periods);

    std::optional<Report> build(const std::string& from, const std::string& to, ReportGrouping grouping);
    const std::string& lastError() const { return m_error; }

    // The report aligned for a terminal window, with a total row.
    static std::string text(const Report& report);
    // The same table as UTF-8 CSV, header row first, amounts in yuan.
    static std::string csv(const Report& report);

private:
    bool collect(Report& report);

    SqliteConnection& m_db;
    MealPeriods m_periods;
    std::string m_error;
};

} // namespace vorlanx::db
