#include "db/BuiltinDatabaseAdmin.h"

#include <sqlite3.h>

#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

#include "db/BuiltinSchema.h"
#include "db/FilePath.h"
#include "db/ReportText.h"
#include "link/Gbk.h"

namespace vorlanx::db {

namespace {

constexpr std::int64_t largestCard = 4294967295;

std::optional<std::vector<std::string>> csvFields(std::string_view line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"' && fields.back().empty()) {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    if (quoted)
        return std::nullopt;
    return fields;
}

std::optional<std::int64_t> wholeNumber(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string columnText(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text != nullptr ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
                           : std::string();
}

void bindText(sqlite3_stmt* statement, int index, const std::string& text) {
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

} // namespace

bool BuiltinDatabaseAdmin::open(const std::string& file) {
    // Our tables are added to a new or empty file only, never to another program's database.
    std::error_code error;
    if (std::filesystem::exists(filePath(file), error) && std::filesystem::file_size(filePath(file), error) > 0 &&
        !error && !isBuiltinDatabase(file)) {
        m_error = file + " is not a Vorlanx database";
        return false;
    }
    if (!m_db.open(file) || !createBuiltinSchema(m_db)) {
        m_error = "cannot open " + file + ": " + m_db.lastError();
        m_db.close();
        return false;
    }
    return true;
}

bool BuiltinDatabaseAdmin::openExisting(const std::string& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(filePath(file), error)) {
        m_error = "there is no database file " + file;
        return false;
    }
    if (!isBuiltinDatabase(file)) {
        m_error = file + " is not a Vorlanx database";
        return false;
    }
    return open(file);
}

ImportOutcome BuiltinDatabaseAdmin::importCsv(std::istream& csv) {
    ImportOutcome outcome;
    auto fail = [&](std::size_t line, std::string message) {
        m_db.exec("ROLLBACK");
        outcome = ImportOutcome{false, line, std::move(message), 0};
        m_error = "line " + std::to_string(line) + ": " + outcome.message;
        return outcome;
    };
    if (!m_db.exec("BEGIN IMMEDIATE"))
        return fail(0, "the database is busy or cannot be written: " + m_db.lastError());
    sqlite3_stmt* insert = m_db.cached("INSERT INTO card_holder (hr_code, hr_name, dept_name, hr_phyid, balance_fen) "
                                       "VALUES (?1, ?2, ?3, ?4, ?5)");
    if (insert == nullptr)
        return fail(0, m_db.lastError());

    std::string text;
    std::size_t line = 0;
    while (std::getline(csv, text)) {
        ++line;
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        if (line == 1 && text.starts_with("\xEF\xBB\xBF"))
            text.erase(0, 3);
        if (text.empty())
            continue;
        const auto fields = csvFields(text);
        if (!fields || fields->size() != 5)
            return fail(line, "expected 5 fields: personnel number, name, department, card number, balance in fen");
        const std::string& code = (*fields)[0];
        if (line == 1 && code == "hr_code")
            continue;
        if (code.empty())
            return fail(line, "the personnel number is empty");
        for (const std::string& field : *fields) {
            // The terminals show names and departments in GBK; a text they cannot show is refused here.
            if (!link::utf8ToGbk(field))
                return fail(line, "\"" + field + "\" is not UTF-8 text that a terminal can show");
        }
        std::optional<std::int64_t> card;
        if (!(*fields)[3].empty()) {
            card = wholeNumber((*fields)[3]);
            if (!card || *card < 0 || *card > largestCard)
                return fail(line, "the card number must be a whole number from 0 to 4294967295");
        }
        const std::optional<std::int64_t> balance = wholeNumber((*fields)[4]);
        if (!balance)
            return fail(line, "the balance must be a whole number of fen");

        sqlite3_reset(insert);
        sqlite3_clear_bindings(insert);
        bindText(insert, 1, code);
        bindText(insert, 2, (*fields)[1]);
        bindText(insert, 3, (*fields)[2]);
        if (card)
            sqlite3_bind_int64(insert, 4, *card);
        sqlite3_bind_int64(insert, 5, *balance);
        if (sqlite3_step(insert) != SQLITE_DONE) {
            const bool duplicate = sqlite3_extended_errcode(m_db.handle()) == SQLITE_CONSTRAINT_PRIMARYKEY ||
                                   sqlite3_extended_errcode(m_db.handle()) == SQLITE_CONSTRAINT_UNIQUE;
            std::string why =
                duplicate ? "personnel number " + code + " or its card number is already taken" : m_db.lastError();
            sqlite3_reset(insert);
            return fail(line, why);
        }
        ++outcome.imported;
    }
    sqlite3_reset(insert);
    if (!m_db.exec("COMMIT"))
        return fail(line, "the import could not be saved: " + m_db.lastError());
    outcome.ok = true;
    return outcome;
}

std::optional<std::int64_t> BuiltinDatabaseAdmin::topup(std::int64_t card, std::int64_t fen) {
    sqlite3_stmt* statement =
        m_db.cached("UPDATE card_holder SET balance_fen = balance_fen + ?2 WHERE hr_phyid = ?1 RETURNING balance_fen");
    if (statement == nullptr) {
        m_error = m_db.lastError();
        return std::nullopt;
    }
    sqlite3_bind_int64(statement, 1, card);
    sqlite3_bind_int64(statement, 2, fen);
    const int rc = sqlite3_step(statement);
    std::optional<std::int64_t> balance;
    if (rc == SQLITE_ROW)
        balance = sqlite3_column_int64(statement, 0);
    else
        m_error = rc == SQLITE_DONE ? "no card holder has card " + std::to_string(card) : m_db.lastError();
    sqlite3_reset(statement);
    return balance;
}

bool BuiltinDatabaseAdmin::setBlocked(std::int64_t card, bool blocked) {
    sqlite3_stmt* statement = m_db.cached("UPDATE card_holder SET active = ?2 WHERE hr_phyid = ?1");
    if (statement == nullptr) {
        m_error = m_db.lastError();
        return false;
    }
    sqlite3_bind_int64(statement, 1, card);
    sqlite3_bind_int(statement, 2, blocked ? 0 : 1);
    const int rc = sqlite3_step(statement);
    sqlite3_reset(statement);
    if (rc != SQLITE_DONE) {
        m_error = m_db.lastError();
        return false;
    }
    if (sqlite3_changes(m_db.handle()) != 1) {
        m_error = "no card holder has card " + std::to_string(card);
        return false;
    }
    return true;
}

bool BuiltinDatabaseAdmin::replaceCard(std::int64_t oldCard, std::int64_t newCard) {
    if (oldCard == newCard) {
        m_error = "the new card is the old card";
        return false;
    }
    // The checks and the change are one write transaction, so a card cannot be given to two
    // holders by two offices at once.
    if (!m_db.exec("BEGIN IMMEDIATE")) {
        m_error = "the database is busy or cannot be written: " + m_db.lastError();
        return false;
    }
    auto fail = [&](std::string message) {
        m_db.exec("ROLLBACK");
        m_error = std::move(message);
        return false;
    };
    sqlite3_stmt* holderOf = m_db.cached("SELECT hr_code, hr_name FROM card_holder WHERE hr_phyid = ?1");
    sqlite3_stmt* move = m_db.cached("UPDATE card_holder SET hr_phyid = ?2, active = 1 WHERE hr_phyid = ?1");
    if (holderOf == nullptr || move == nullptr)
        return fail(m_db.lastError());
    sqlite3_bind_int64(holderOf, 1, newCard);
    if (sqlite3_step(holderOf) == SQLITE_ROW) {
        std::string owner = columnText(holderOf, 0) + " " + columnText(holderOf, 1);
        sqlite3_reset(holderOf);
        return fail("card " + std::to_string(newCard) + " is already the card of " + owner);
    }
    sqlite3_reset(holderOf);
    sqlite3_bind_int64(move, 1, oldCard);
    sqlite3_bind_int64(move, 2, newCard);
    const int rc = sqlite3_step(move);
    sqlite3_reset(move);
    if (rc != SQLITE_DONE)
        return fail(m_db.lastError());
    if (sqlite3_changes(m_db.handle()) != 1)
        return fail("no card holder has card " + std::to_string(oldCard));
    if (!m_db.exec("COMMIT"))
        return fail("the new card could not be saved: " + m_db.lastError());
    return true;
}

std::optional<std::string> BuiltinDatabaseAdmin::show(std::int64_t card) {
    sqlite3_stmt* statement = m_db.cached("SELECT hr_code, hr_name, dept_name, hr_phyid, balance_fen, active "
                                          "FROM card_holder WHERE hr_phyid = ?1");
    if (statement == nullptr) {
        m_error = m_db.lastError();
        return std::nullopt;
    }
    sqlite3_bind_int64(statement, 1, card);
    if (sqlite3_step(statement) != SQLITE_ROW) {
        m_error = "no card holder has card " + std::to_string(card);
        sqlite3_reset(statement);
        return std::nullopt;
    }
    std::string line;
    for (int column = 0; column < 6; ++column)
        line += (column > 0 ? "," : "") + csvField(columnText(statement, column));
    sqlite3_reset(statement);
    return line;
}

bool BuiltinDatabaseAdmin::writeRecords(std::ostream& out) {
    sqlite3_stmt* statement =
        m_db.cached("SELECT record_id, kind, hr_phyid, hr_code, machine, rdate, rtime, amount_fen, balance_after_fen, "
                    "booked_at FROM consumption_record ORDER BY record_id");
    if (statement == nullptr) {
        m_error = m_db.lastError();
        return false;
    }
    out << "record_id,kind,hr_phyid,hr_code,machine,rdate,rtime,amount_fen,balance_after_fen,booked_at\n";
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        for (int column = 0; column < 10; ++column)
            out << (column > 0 ? "," : "") << csvField(columnText(statement, column));
        out << '\n';
    }
    sqlite3_reset(statement);
    if (rc != SQLITE_DONE) {
        m_error = m_db.lastError();
        return false;
    }
    return true;
}

std::optional<std::size_t> BuiltinDatabaseAdmin::addDemoHolders(std::size_t count) {
    static constexpr std::array<const char*, 10> surnames{"张", "王", "李", "赵", "刘", "陈", "杨", "黄", "周", "吴"};
    static constexpr std::array<const char*, 10> given{"三", "伟", "芳", "娜", "敏", "静", "丽", "强", "磊", "军"};
    static constexpr std::array<const char*, 5> departments{"食堂部", "财务部", "后勤部", "研发部", "行政部"};
    if (!m_db.exec("BEGIN IMMEDIATE")) {
        m_error = m_db.lastError();
        return std::nullopt;
    }
    sqlite3_stmt* insert =
        m_db.cached("INSERT OR IGNORE INTO card_holder (hr_code, hr_name, dept_name, hr_phyid, balance_fen, active) "
                    "VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    if (insert == nullptr) {
        m_error = m_db.lastError();
        m_db.exec("ROLLBACK");
        return std::nullopt;
    }
    std::size_t added = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::array<char, 32> code{};
        std::snprintf(code.data(), code.size(), "D%05zu", i + 1);
        std::string name = std::string(surnames[i % 10]) + given[(i / 10) % 10];
        if (i >= 100)
            name += given[(i / 100) % 10];
        sqlite3_reset(insert);
        bindText(insert, 1, code.data());
        bindText(insert, 2, name);
        bindText(insert, 3, departments[i % departments.size()]);
        sqlite3_bind_int64(insert, 4, 12345678 + static_cast<std::int64_t>(i));
        sqlite3_bind_int64(insert, 5, 10000 + static_cast<std::int64_t>(i % 50) * 100);
        // Every fifteenth sample card is blocked, so the demo also shows a refusal.
        sqlite3_bind_int(insert, 6, i % 15 == 14 ? 0 : 1);
        if (sqlite3_step(insert) != SQLITE_DONE) {
            m_error = m_db.lastError();
            sqlite3_reset(insert);
            m_db.exec("ROLLBACK");
            return std::nullopt;
        }
        added += static_cast<std::size_t>(sqlite3_changes(m_db.handle()));
    }
    sqlite3_reset(insert);
    if (!m_db.exec("COMMIT")) {
        m_error = m_db.lastError();
        m_db.exec("ROLLBACK");
        return std::nullopt;
    }
    return added;
}

std::optional<std::size_t> BuiltinDatabaseAdmin::addDemoBookings(std::size_t count) {
    using namespace std::chrono;
    const sys_days today = floor<days>(system_clock::now());
    std::mt19937_64 random(16);
    // Mostly at meal times, a few at any hour, so that a report also shows "其他".
    constexpr std::array<std::pair<int, int>, 4> rushes{
        {{6 * 3600, 9 * 3600}, {11 * 3600, 13 * 3600}, {17 * 3600, 19 * 3600}, {20 * 3600, 23 * 3600}}};
    if (!m_db.exec("BEGIN IMMEDIATE")) {
        m_error = m_db.lastError();
        return std::nullopt;
    }
    sqlite3_stmt* insert = m_db.cached(
        "INSERT OR IGNORE INTO consumption_record (kind, hr_phyid, hr_code, machine, rdate, rtime, amount_fen) "
        "VALUES (?1, ?2, (SELECT hr_code FROM card_holder WHERE hr_phyid = ?2), ?3, ?4, ?5, ?6)");
    if (insert == nullptr) {
        m_error = m_db.lastError();
        m_db.exec("ROLLBACK");
        return std::nullopt;
    }
    std::size_t added = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const year_month_day date{today - days{static_cast<int>(random() % 30)}};
        const auto rush = rushes[random() % rushes.size()];
        const int second = random() % 10 == 0 ? static_cast<int>(random() % 86400)
                                              : rush.first + static_cast<int>(random() % (rush.second - rush.first));
        std::array<char, 16> day{};
        std::array<char, 16> time{};
        std::snprintf(day.data(), day.size(), "%04d-%02u-%02u", static_cast<int>(date.year()),
                      static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
        std::snprintf(time.data(), time.size(), "%02d:%02d:%02d", second / 3600, second / 60 % 60, second % 60);
        sqlite3_reset(insert);
        sqlite3_bind_text(insert, 1, random() % 3 == 0 ? "offline" : "online", -1, SQLITE_STATIC);
        sqlite3_bind_int64(insert, 2, 12345678 + static_cast<std::int64_t>(random() % 1000));
        sqlite3_bind_int64(insert, 3, 1 + static_cast<std::int64_t>(random() % 16));
        sqlite3_bind_text(insert, 4, day.data(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 5, time.data(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(insert, 6, 100 + static_cast<std::int64_t>(random() % 20) * 50);
        if (sqlite3_step(insert) != SQLITE_DONE) {
            m_error = m_db.lastError();
            sqlite3_reset(insert);
            m_db.exec("ROLLBACK");
            return std::nullopt;
        }
        added += static_cast<std::size_t>(sqlite3_changes(m_db.handle()));
    }
    sqlite3_reset(insert);
    if (!m_db.exec("COMMIT")) {
        m_error = m_db.lastError();
        m_db.exec("ROLLBACK");
        return std::nullopt;
    }
    return added;
}

} // namespace vorlanx::db
