#include "db/BookingExport.h"

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <string_view>
#include <utility>

#include "db/FilePath.h"
#include "db/PrivateFile.h"
#include "db/ReportText.h"
#include "db/SqliteConnection.h"

namespace vorlanx::db {

namespace {

// Name and department are the holder's as they stand now: a replaced card's bookings still name
// the holder through the personnel number.
constexpr const char* bookings =
    "SELECT r.record_id, r.kind, r.rdate, r.rtime, r.machine, r.hr_phyid, r.hr_code, h.hr_name, h.dept_name, "
    "r.amount_fen, r.balance_after_fen, r.booked_at FROM consumption_record r "
    "LEFT JOIN card_holder h ON h.hr_code = r.hr_code WHERE r.rdate BETWEEN ?1 AND ?2 "
    "ORDER BY r.rdate, r.rtime, r.record_id";

std::string_view columnView(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text != nullptr ? std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
                           : std::string_view();
}

} // namespace

BookingExport::BookingExport(SqliteConnection& db, MealPeriods periods) : m_db(db), m_periods(std::move(periods)) {}

std::optional<std::uint64_t> BookingExport::write(std::ostream& out, const std::string& from, const std::string& to) {
    sqlite3_stmt* statement = m_db.cached(bookings);
    if (statement == nullptr) {
        m_error = m_db.lastError();
        return std::nullopt;
    }
    sqlite3_bind_text(statement, 1, from.data(), static_cast<int>(from.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(statement, 2, to.data(), static_cast<int>(to.size()), SQLITE_TRANSIENT);
    out << kCsvByteOrderMark
        << "流水号,类型,日期,时间,时段,终端,卡号,人员编号,姓名,部门,金额(元),余额(元),入账时间\r\n";
    std::uint64_t written = 0;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        const std::string_view time = columnView(statement, 3);
        out << sqlite3_column_int64(statement, 0) << ',' << (columnView(statement, 1) == "online" ? "联机" : "脱机")
            << ',' << spreadsheetText(columnView(statement, 2)) << ',' << spreadsheetText(time) << ','
            << MealPeriods::name(m_periods.periodOf(time)) << ',' << sqlite3_column_int64(statement, 4) << ','
            << sqlite3_column_int64(statement, 5) << ',' << spreadsheetText(columnView(statement, 6)) << ','
            << spreadsheetText(columnView(statement, 7)) << ',' << spreadsheetText(columnView(statement, 8)) << ','
            << yuanText(sqlite3_column_int64(statement, 9)) << ','
            << (sqlite3_column_type(statement, 10) == SQLITE_NULL ? std::string()
                                                                  : yuanText(sqlite3_column_int64(statement, 10)))
            << ',' << spreadsheetText(columnView(statement, 11)) << "\r\n";
        ++written;
    }
    sqlite3_reset(statement);
    if (rc != SQLITE_DONE) {
        m_error = "cannot read the bookings: " + m_db.lastError();
        return std::nullopt;
    }
    if (!out) {
        m_error = "cannot write the bookings";
        return std::nullopt;
    }
    return written;
}

std::optional<std::uint64_t> BookingExport::writeFile(const std::string& file, const std::string& from,
                                                      const std::string& to, bool replace) {
    std::error_code error;
    if (!replace && std::filesystem::exists(filePath(file), error)) {
        m_error = file + " exists; --force replaces it";
        return std::nullopt;
    }
    const std::string part = file + ".part";
    std::optional<std::uint64_t> written;
    {
        std::ofstream out;
        if (createPrivateFile(part))
            out.open(filePath(part), std::ios::binary | std::ios::trunc);
        if (!out.is_open() || !out) {
            m_error = "cannot write " + part;
            return std::nullopt;
        }
        written = write(out, from, to);
        out.close();
        if (written && !out) {
            m_error = "cannot write " + part;
            written.reset();
        }
    }
    if (written) {
        std::filesystem::rename(filePath(part), filePath(file), error);
        if (error) {
            m_error = "cannot write " + file + ": " + error.message();
            written.reset();
        }
    }
    if (!written)
        std::filesystem::remove(filePath(part), error);
    return written;
}

} // namespace vorlanx::db
