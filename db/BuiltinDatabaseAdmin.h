#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <string>

#include "db/SqliteConnection.h"

namespace vorlanx::db {

// What an import did: everything or nothing. On failure line names the first bad row (1-based).
struct ImportOutcome {
    bool ok = false;
    std::size_t line = 0;
    std::string message;
    std::size_t imported = 0;
};

// The canteen office's work on the built-in database file: card holders in, money on cards,
// bookings out. Used by vorlanx-db while the service may be running on the same file.
class BuiltinDatabaseAdmin {
public:
    // Opens the file, creating it and its tables when missing; a file of another kind is refused.
    bool open(const std::string& file);
    // Opens a file that must already be a built-in database; anything else is refused untouched.
    bool openExisting(const std::string& file);
    // The open file, for the reports that read it.
    SqliteConnection& connection() { return m_db; }
    // Why the last operation failed, for the person at the command line.
    const std::string& lastError() const { return m_error; }

    // Rows of personnel number, name, department, card number (decimal, may be empty), balance in
    // fen; UTF-8; an optional header row starting with "hr_code".
    ImportOutcome importCsv(std::istream& csv);
    // The new balance, or nullopt when no holder has that card.
    std::optional<std::int64_t> topup(std::int64_t card, std::int64_t fen);
    // hr_code,hr_name,dept_name,hr_phyid,balance_fen,active of the card's holder.
    std::optional<std::string> show(std::int64_t card);
    // A blocked card is refused by the card query and the online payment from the next call on
    // (the same answer as for an inactive holder), and the white list leaves it out. False when no
    // holder has the card.
    bool setBlocked(std::int64_t card, bool blocked);
    // Gives the holder of oldCard the card newCard, usable: personnel number, name, department,
    // balance and bookings stay with the holder, and oldCard is unknown from then on. Refused
    // when oldCard has no holder or newCard already has one.
    bool replaceCard(std::int64_t oldCard, std::int64_t newCard);
    // Every booked consumption record as CSV with a header row.
    bool writeRecords(std::ostream& out);
    // Adds count sample holders; the first has card 12345678 (hex 00BC614E). Returns how many were new.
    std::optional<std::size_t> addDemoHolders(std::size_t count);
    // Adds count generated bookings over the last 30 days on cards 12345678..12346677 and
    // terminals 1..16, for trying the reports on a realistic amount; balances are left as they are.
    // Returns how many were new.
    std::optional<std::size_t> addDemoBookings(std::size_t count);

private:
    SqliteConnection m_db;
    std::string m_error;
};

} // namespace vorlanx::db
