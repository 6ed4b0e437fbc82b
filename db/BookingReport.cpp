#include "db/BookingReport.h"

#include <sqlite3.h>

#include <map>
#include <string_view>
#include <utility>

#include "db/ReportText.h"
#include "db/SqliteConnection.h"
#include "db/TextTable.h"

namespace vorlanx::db {

namespace {

// Every query reads the key of its grouping, whether the booking was online, and the amount, for
// the bookings of a date range. All but the holder's are answered from the index
// consumption_record_by_date alone.
constexpr const char* byMeal =
    "SELECT rtime, kind = 'online', amount_fen FROM consumption_record WHERE rdate BETWEEN ?1 AND ?2";
constexpr const char* byDay =
    "SELECT rdate, kind = 'online', amount_fen FROM consumption_record WHERE rdate BETWEEN ?1 AND ?2";
constexpr const char* byTerminal =
    "SELECT machine, kind = 'online', amount_fen FROM consumption_record WHERE rdate BETWEEN ?1 AND ?2";
constexpr const char* byHolder = "SELECT hr_code, kind = 'online', amount_fen, hr_phyid FROM consumption_record "
                                 "WHERE rdate BETWEEN ?1 AND ?2";
constexpr const char* holderName = "SELECT hr_name FROM card_holder WHERE hr_code = ?1";

std::string_view columnView(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text != nullptr ? std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
                           : std::string_view();
}

void add(ReportRow& row, bool online, std::int64_t fen) {
    if (online) {
        ++row.onlineCount;
        row.onlineFen += fen;
    } else {
        ++row.offlineCount;
        row.offlineFen += fen;
    }
}

std::string groupHeader(ReportGrouping grouping) {
    switch (grouping) {
    case ReportGrouping::Meal:
        return "时段";
    case ReportGrouping::Day:
        return "日期";
    case ReportGrouping::Terminal:
        return "终端";
    case ReportGrouping::Holder:
        return "人员";
    }
    return {};
}

TextTable tableOf(const Report& report) {
    TextTable table({groupHeader(report.grouping), "联机笔数", "联机金额(元)", "脱机笔数", "脱机金额(元)", "合计笔数",
                     "合计金额(元)"},
                    {false, true, true, true, true, true, true});
    auto cells = [](const ReportRow& row) {
        return std::vector<std::string>{row.label,
                                        std::to_string(row.onlineCount),
                                        yuanText(row.onlineFen),
                                        std::to_string(row.offlineCount),
                                        yuanText(row.offlineFen),
                                        std::to_string(row.onlineCount + row.offlineCount),
                                        yuanText(row.onlineFen + row.offlineFen)};
    };
    for (const ReportRow& row : report.rows)
        table.addRow(cells(row));
    table.addRow(cells(report.total));
    return table;
}

} // namespace

BookingReport::BookingReport(SqliteConnection& db, MealPeriods periods) : m_db(db), m_periods(std::move(periods)) {}

std::optional<Report> BookingReport::build(const std::string& from, const std::string& to, ReportGrouping grouping) {
    Report report;
    report.grouping = grouping;
    report.from = from;
    report.to = to;
    report.total.label = "合计";
    // One read transaction: the groups and the total come from the same moment, however many
    // bookings the service commits meanwhile (in WAL mode it does not wait for this reader).
    if (!m_db.exec("BEGIN")) {
        m_error = "cannot read the database: " + m_db.lastError();
        return std::nullopt;
    }
    const bool ok = collect(report);
    m_db.exec(ok ? "COMMIT" : "ROLLBACK");
    if (!ok)
        return std::nullopt;
    for (const ReportRow& row : report.rows) {
        report.total.onlineCount += row.onlineCount;
        report.total.onlineFen += row.onlineFen;
        report.total.offlineCount += row.offlineCount;
        report.total.offlineFen += row.offlineFen;
    }
    return report;
}

bool BookingReport::collect(Report& report) {
    const char* sql = report.grouping == ReportGrouping::Meal       ? byMeal
                      : report.grouping == ReportGrouping::Day      ? byDay
                      : report.grouping == ReportGrouping::Terminal ? byTerminal
                                                                    : byHolder;
    sqlite3_stmt* statement = m_db.cached(sql);
    if (statement == nullptr) {
        m_error = m_db.lastError();
        return false;
    }
    sqlite3_bind_text(statement, 1, report.from.data(), static_cast<int>(report.from.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(statement, 2, report.to.data(), static_cast<int>(report.to.size()), SQLITE_TRANSIENT);

    std::array<ReportRow, MealPeriods::kGroups> meals;
    std::map<std::string, ReportRow, std::less<>> byText;
    std::map<std::int64_t, ReportRow> byNumber;
    std::map<std::int64_t, ReportRow> unknownCards;
    // Rows of one day or one holder often come together; the last group found is tried first.
    ReportRow* last = nullptr;
    std::string_view lastKey;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        const bool online = sqlite3_column_int(statement, 1) != 0;
        const std::int64_t fen = sqlite3_column_int64(statement, 2);
        switch (report.grouping) {
        case ReportGrouping::Meal:
            add(meals[m_periods.periodOf(columnView(statement, 0))], online, fen);
            break;
        case ReportGrouping::Terminal:
            add(byNumber[sqlite3_column_int64(statement, 0)], online, fen);
            break;
        case ReportGrouping::Day:
        case ReportGrouping::Holder: {
            if (sqlite3_column_type(statement, 0) == SQLITE_NULL) {
                add(unknownCards[sqlite3_column_int64(statement, 3)], online, fen);
                break;
            }
            const std::string_view key = columnView(statement, 0);
            if (last == nullptr || key != lastKey) {
                auto found = byText.find(key);
                if (found == byText.end())
                    found = byText.emplace(std::string(key), ReportRow{}).first;
                last = &found->second;
                lastKey = found->first;
            }
            add(*last, online, fen);
            break;
        }
        }
    }
    sqlite3_reset(statement);
    if (rc != SQLITE_DONE) {
        m_error = "cannot read the bookings: " + m_db.lastError();
        return false;
    }

    switch (report.grouping) {
    case ReportGrouping::Meal:
        for (std::size_t period = 0; period < meals.size(); ++period) {
            meals[period].label = MealPeriods::name(period);
            report.rows.push_back(meals[period]);
        }
        break;
    case ReportGrouping::Terminal:
        for (auto& [machine, row] : byNumber) {
            row.label = std::to_string(machine);
            report.rows.push_back(row);
        }
        break;
    case ReportGrouping::Day:
        for (auto& [date, row] : byText) {
            row.label = date;
            report.rows.push_back(row);
        }
        break;
    case ReportGrouping::Holder: {
        sqlite3_stmt* names = m_db.cached(holderName);
        if (names == nullptr) {
            m_error = m_db.lastError();
            return false;
        }
        for (auto& [code, row] : byText) {
            sqlite3_reset(names);
            sqlite3_bind_text(names, 1, code.data(), static_cast<int>(code.size()), SQLITE_TRANSIENT);
            row.label = code;
            if (sqlite3_step(names) == SQLITE_ROW)
                row.label += " " + std::string(columnView(names, 0));
            report.rows.push_back(row);
        }
        sqlite3_reset(names);
        // Offline records of cards that no holder has (any more) are bookings all the same.
        for (auto& [card, row] : unknownCards) {
            row.label = "卡号:" + std::to_string(card);
            report.rows.push_back(row);
        }
        break;
    }
    }
    return true;
}

std::string BookingReport::text(const Report& report) {
    std::string title = "消费汇总 " + report.from;
    if (report.to != report.from)
        title += " 至 " + report.to;
    return title + "\n" + tableOf(report).text();
}

std::string BookingReport::csv(const Report& report) {
    return tableOf(report).csv();
}

} // namespace vorlanx::db
