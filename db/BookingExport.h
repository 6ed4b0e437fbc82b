#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "db/MealPeriods.h"

namespace vorlanx::db {

class SqliteConnection;

// Every booking of a date range, one CSV row each, for the accounts: record number, online or
// offline, record date and time, meal period, terminal, card, holder, amount and balance after it
// in yuan, and when it was booked. UTF-8 with a header row.
class BookingExport {
public:
    BookingExport(SqliteConnection& db, MealPeriods periods);

    // The number of bookings written, or nullopt with lastError() set.
    std::optional<std::uint64_t> write(std::ostream& out, const std::string& from, const std::string& to);
    // The same into a new file; an existing file is refused unless replace is set. The rows go to
    // a file beside it first, so a failure leaves no half-written export under the name.
    std::optional<std::uint64_t> writeFile(const std::string& file, const std::string& from, const std::string& to,
                                           bool replace);
    const std::string& lastError() const { return m_error; }

private:
    SqliteConnection& m_db;
    MealPeriods m_periods;
    std::string m_error;
};

} // namespace vorlanx::db
