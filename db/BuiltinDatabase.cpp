#include "db/BuiltinDatabase.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

#include "db/BuiltinSchema.h"
#include "link/DebugLog.h"

namespace vorlanx::db {

namespace {

constexpr std::size_t displayBytes = 16;
constexpr std::int64_t largestCard = 4294967295;

const std::vector<std::string>& procedureColumns() {
    static const std::vector<std::string> columns{"col1", "col2", "col3", "col4", "col5", "col6", "col7", "col8"};
    return columns;
}

struct Holder {
    std::string code;
    std::string name;
    std::string department;
    std::int64_t balance = 0;
    bool active = false;
};

std::optional<std::int64_t> wholeNumber(std::string_view text, int base = 10) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// The card number of a call: its decimal form, or the hex digits when the decimal is unusable.
std::optional<std::int64_t> cardOf(const ProcedureCall& call) {
    auto card = wholeNumber(call.cardNumber);
    if (!card)
        card = wholeNumber(call.hexCard, 16);
    if (!card || *card < 0 || *card > largestCard)
        return std::nullopt;
    return card;
}

// A display text cut to what the terminal shows: ASCII takes one GBK byte, every other character
// two. Texts of up to 16 UTF-8 bytes always fit, so the common case costs nothing.
std::string fitDisplay(std::string text) {
    if (text.size() <= displayBytes)
        return text;
    std::size_t width = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        const std::size_t columns = lead < 0x80 ? 1 : 2;
        if (width + columns > displayBytes)
            break;
        width += columns;
        i += length;
    }
    text.resize(std::min(i, text.size()));
    return text;
}

std::string yuan(std::int64_t fen) {
    const std::int64_t magnitude = fen < 0 ? -fen : fen;
    std::array<char, 32> buffer{};
    const int n = std::snprintf(buffer.data(), buffer.size(), "%s%lld.%02lld", fen < 0 ? "-" : "",
                                static_cast<long long>(magnitude / 100), static_cast<long long>(magnitude % 100));
    return std::string(buffer.data(), static_cast<std::size_t>(n));
}

// "余额:12.50元", or without the unit when a large amount would not fit.
std::string moneyLine(std::string_view label, std::int64_t fen) {
    std::string line = std::string(label) + yuan(fen) + "元";
    if (line.size() > displayBytes)
        line = std::string(label) + yuan(fen);
    return fitDisplay(std::move(line));
}

std::string columnText(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text != nullptr ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
                           : std::string();
}

std::optional<Holder> findHolder(SqliteConnection& db, std::int64_t card) {
    sqlite3_stmt* statement =
        db.cached("SELECT hr_code, hr_name, dept_name, balance_fen, active FROM card_holder WHERE hr_phyid = ?1");
    if (statement == nullptr)
        return std::nullopt;
    sqlite3_bind_int64(statement, 1, card);
    if (sqlite3_step(statement) != SQLITE_ROW)
        return std::nullopt;
    Holder holder;
    holder.code = columnText(statement, 0);
    holder.name = columnText(statement, 1);
    holder.department = columnText(statement, 2);
    holder.balance = sqlite3_column_int64(statement, 3);
    holder.active = sqlite3_column_int(statement, 4) != 0;
    sqlite3_reset(statement);
    return holder;
}

QueryResult procedureAnswer(std::string code, const Holder* holder, std::int64_t card,
                            std::array<std::string, 4> display) {
    std::vector<std::string> cells;
    cells.reserve(8);
    cells.push_back(std::move(code));
    cells.push_back(holder != nullptr ? holder->code : std::string());
    cells.push_back(std::to_string(card));
    cells.push_back(holder != nullptr ? std::to_string(holder->balance) : std::string());
    for (std::string& text : display)
        cells.push_back(fitDisplay(std::move(text)));
    return QueryResult(procedureColumns(), std::move(cells));
}

std::string cardLine(std::int64_t card) {
    return "卡号:" + std::to_string(card);
}

} // namespace

BuiltinDatabase::BuiltinDatabase(std::shared_ptr<BatchCounter> batches) : m_batches(std::move(batches)) {}

bool BuiltinDatabase::open(const std::string& file, const char* vfs) {
    std::scoped_lock lock(m_mutex, m_readerMutex);
    m_reader.close();
    m_open = false;
    if (!m_db.open(file, vfs))
        return false;
    if (!createBuiltinSchema(m_db) || !m_reader.open(file, vfs)) {
        m_db.close();
        m_reader.close();
        return false;
    }
    m_open = true;
    return true;
}

bool BuiltinDatabase::connect(const std::string&, const std::string& database, const std::string&, const std::string&) {
    return open(database);
}

bool BuiltinDatabase::isConnected() const {
    return m_open.load();
}

void BuiltinDatabase::disconnect() {
    std::scoped_lock lock(m_mutex, m_readerMutex);
    m_db.close();
    m_reader.close();
    m_open = false;
}

QueryResult BuiltinDatabase::runQuery(std::string_view command) {
    const std::optional<ProcedureCall> call = ProcedureCall::parse(command);
    if (call && (call->kind == ProcedureCall::Kind::Query || call->kind == ProcedureCall::Kind::Whitename)) {
        std::lock_guard lock(m_readerMutex);
        if (!m_reader.isOpen())
            return {};
        return call->kind == ProcedureCall::Kind::Query ? cardQuery(*call) : whitename(m_reader);
    }
    if (call)
        return book(*call);
    std::lock_guard lock(m_mutex);
    if (!m_db.isOpen())
        return {};
    return plainSql(command);
}

std::vector<QueryResult> BuiltinDatabase::runQueries(std::span<const std::string> commands) {
    std::vector<ProcedureCall> calls;
    calls.reserve(commands.size());
    for (const std::string& command : commands) {
        std::optional<ProcedureCall> call = ProcedureCall::parse(command);
        if (!call || call->kind != ProcedureCall::Kind::Query)
            return Database::runQueries(commands); // only card queries are read together
        calls.push_back(std::move(*call));
    }
    std::vector<QueryResult> results;
    results.reserve(calls.size());
    std::lock_guard lock(m_readerMutex);
    if (!m_reader.isOpen()) {
        results.resize(calls.size());
        return results;
    }
    // One read transaction for them all: the file and WAL locks are taken and the file's size
    // looked up once, not once per query. A failed BEGIN leaves each query its own transaction.
    const auto run = [this](const char* sql) {
        sqlite3_stmt* statement = m_reader.cached(sql);
        return statement != nullptr && sqlite3_step(statement) == SQLITE_DONE;
    };
    const bool together = calls.size() > 1 && run("BEGIN");
    for (const ProcedureCall& call : calls)
        results.push_back(cardQuery(call));
    // A read left open would pin its snapshot, and every later query would miss the bookings since.
    if (together && !run("COMMIT") && !run("ROLLBACK"))
        link::debugLog("builtin database", "a read could not be ended: " + m_reader.lastError());
    return results;
}

void BuiltinDatabase::setBatchLimit(std::size_t limit) {
    std::lock_guard lock(m_queueMutex);
    m_batchLimit = std::max<std::size_t>(limit, 1);
}

std::size_t BuiltinDatabase::bookingsWaiting() const {
    std::lock_guard lock(m_queueMutex);
    return m_waiting.size();
}

QueryResult BuiltinDatabase::book(const ProcedureCall& call) {
    Booking booking;
    booking.call = &call;
    std::unique_lock lock(m_queueMutex);
    m_waiting.push_back(&booking);
    while (!booking.done) {
        if (m_writing || m_waiting.front() != &booking) {
            booking.turn.wait(lock);
            continue;
        }
        // The writer is idle and this booking waits longest: this thread commits whatever waits,
        // in arrival order, up to the limit.
        m_writing = true;
        const std::size_t count = std::min(m_waiting.size(), m_batchLimit);
        std::vector<Booking*> batch(m_waiting.begin(), m_waiting.begin() + static_cast<std::ptrdiff_t>(count));
        m_waiting.erase(m_waiting.begin(), m_waiting.begin() + static_cast<std::ptrdiff_t>(count));
        lock.unlock();
        writeBatch(batch);
        lock.lock();
        for (Booking* done : batch) {
            done->done = true;
            done->turn.notify_one();
        }
        m_writing = false;
        if (!m_waiting.empty())
            m_waiting.front()->turn.notify_one();
    }
    return std::move(booking.result);
}

void BuiltinDatabase::writeBatch(std::span<Booking* const> batch) {
    std::lock_guard lock(m_mutex);
    if (!m_db.isOpen())
        return;
    if (!begin()) {
        m_batches->failed();
        return;
    }
    for (Booking* booking : batch) {
        if (!step("SAVEPOINT booking")) {
            abandonBatch(batch, "cannot start a booking: " + m_db.lastError());
            return;
        }
        booking->result = booking->call->kind == ProcedureCall::Kind::Online ? onlinePayment(*booking->call)
                                                                             : offlineRecord(*booking->call);
        // A booking that failed is undone alone and answered as it would be on its own: not at all.
        const bool kept = booking->result.isOpen();
        const bool undone = kept || step("ROLLBACK TO booking");
        if (!undone || !step("RELEASE booking") || !inTransaction()) {
            // Some errors (a full disk, an I/O error) end the whole transaction, taking the
            // bookings before this one with it.
            abandonBatch(batch, "batch lost: " + m_db.lastError());
            return;
        }
    }
    if (!commit()) {
        abandonBatch(batch, "commit failed: " + m_db.lastError());
        return;
    }
    m_batches->committed(batch.size());
}

void BuiltinDatabase::abandonBatch(std::span<Booking* const> batch, const std::string& why) {
    // One line per batch: a locked or full disk fails every booking in it for the same reason.
    link::debugLog("builtin database", std::to_string(batch.size()) + " bookings not booked, " + why);
    rollback();
    for (Booking* booking : batch)
        booking->result = QueryResult();
    m_batches->failed();
}

QueryResult BuiltinDatabase::cardQuery(const ProcedureCall& call) {
    const std::optional<std::int64_t> card = cardOf(call);
    if (!card)
        return procedureAnswer("2", nullptr, 0, {"无此卡", "", "", ""});
    const std::optional<Holder> holder = findHolder(m_reader, *card);
    if (!holder)
        return procedureAnswer("2", nullptr, *card, {"无此卡", cardLine(*card), "", ""});
    if (!holder->active)
        return procedureAnswer("3", &*holder, *card, {holder->name, "此卡已停用", holder->department, cardLine(*card)});
    return procedureAnswer("1", &*holder, *card,
                           {holder->name, moneyLine("余额:", holder->balance), holder->department, cardLine(*card)});
}

QueryResult BuiltinDatabase::onlinePayment(const ProcedureCall& call) {
    const std::optional<std::int64_t> card = cardOf(call);
    const std::optional<std::int64_t> amount = wholeNumber(call.amount);
    const std::optional<std::int64_t> machine = wholeNumber(call.machine);
    if (!card)
        return procedureAnswer("01", nullptr, 0, {"无此卡", "", "", ""});
    if (!amount || *amount <= 0 || !machine)
        return procedureAnswer("04", nullptr, *card, {"金额无效", cardLine(*card), "", ""});

    std::optional<Holder> holder = findHolder(m_db, *card);
    if (!holder)
        return procedureAnswer("01", nullptr, *card, {"无此卡", cardLine(*card), "", ""});
    if (!holder->active)
        return procedureAnswer("02", &*holder, *card, {holder->name, "此卡已停用", holder->department, ""});
    if (holder->balance < *amount) {
        return procedureAnswer(
            "03", &*holder, *card,
            {holder->name, "余额不足", moneyLine("余额:", holder->balance), moneyLine("消费:", *amount)});
    }

    // The guard in the WHERE clause repeats the checks inside the write, so no other writer of the
    // file can slip between the read above and the debit.
    sqlite3_stmt* debit = m_db.cached("UPDATE card_holder SET balance_fen = balance_fen - ?2 "
                                      "WHERE hr_phyid = ?1 AND active = 1 AND balance_fen >= ?2 RETURNING balance_fen");
    sqlite3_stmt* record = m_db.cached("INSERT INTO consumption_record (kind, hr_phyid, hr_code, machine, rdate, "
                                       "rtime, amount_fen, balance_after_fen) "
                                       "VALUES ('online', ?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    if (debit == nullptr || record == nullptr)
        return {};
    sqlite3_bind_int64(debit, 1, *card);
    sqlite3_bind_int64(debit, 2, *amount);
    if (sqlite3_step(debit) != SQLITE_ROW) {
        sqlite3_reset(debit);
        return {};
    }
    holder->balance = sqlite3_column_int64(debit, 0);
    sqlite3_reset(debit);

    sqlite3_bind_int64(record, 1, *card);
    sqlite3_bind_text(record, 2, holder->code.data(), static_cast<int>(holder->code.size()), SQLITE_STATIC);
    sqlite3_bind_int64(record, 3, *machine);
    sqlite3_bind_text(record, 4, call.date.data(), static_cast<int>(call.date.size()), SQLITE_STATIC);
    sqlite3_bind_text(record, 5, call.time.data(), static_cast<int>(call.time.size()), SQLITE_STATIC);
    sqlite3_bind_int64(record, 6, *amount);
    sqlite3_bind_int64(record, 7, holder->balance);
    const int inserted = sqlite3_step(record);
    sqlite3_reset(record);
    if (inserted != SQLITE_DONE) {
        link::debugLog("builtin database", "online payment not booked: " + m_db.lastError());
        return {};
    }
    return procedureAnswer(
        "00", &*holder, *card,
        {holder->name, moneyLine("消费:", *amount), moneyLine("余额:", holder->balance), holder->department});
}

QueryResult BuiltinDatabase::offlineRecord(const ProcedureCall& call) {
    const std::optional<std::int64_t> card = cardOf(call);
    const std::optional<std::int64_t> amount = wholeNumber(call.amount);
    const std::optional<std::int64_t> machine = wholeNumber(call.machine);
    if (!card || !amount || *amount < 0 || !machine)
        return QueryResult({"col1"}, {"0"});

    // The sale has already happened at the terminal: it is booked even for an unknown or blocked
    // card, and may take the balance below zero.
    sqlite3_stmt* record = m_db.cached(
        "INSERT OR IGNORE INTO consumption_record (kind, hr_phyid, hr_code, machine, rdate, rtime, amount_fen) "
        "VALUES ('offline', ?1, (SELECT hr_code FROM card_holder WHERE hr_phyid = ?1), ?2, ?3, ?4, ?5)");
    sqlite3_stmt* debit =
        m_db.cached("UPDATE card_holder SET balance_fen = balance_fen - ?2 WHERE hr_phyid = ?1 RETURNING balance_fen");
    sqlite3_stmt* balance = m_db.cached("UPDATE consumption_record SET balance_after_fen = ?2 WHERE record_id = ?1");
    if (record == nullptr || debit == nullptr || balance == nullptr)
        return {};
    sqlite3_bind_int64(record, 1, *card);
    sqlite3_bind_int64(record, 2, *machine);
    sqlite3_bind_text(record, 3, call.date.data(), static_cast<int>(call.date.size()), SQLITE_STATIC);
    sqlite3_bind_text(record, 4, call.time.data(), static_cast<int>(call.time.size()), SQLITE_STATIC);
    sqlite3_bind_int64(record, 5, *amount);
    bool ok = sqlite3_step(record) == SQLITE_DONE;
    sqlite3_reset(record);
    // A record already booked changes nothing and is acknowledged again, so the terminal stops
    // resending it.
    if (ok && sqlite3_changes(m_db.handle()) == 1) {
        const std::int64_t recordId = sqlite3_last_insert_rowid(m_db.handle());
        sqlite3_bind_int64(debit, 1, *card);
        sqlite3_bind_int64(debit, 2, *amount);
        const int debited = sqlite3_step(debit);
        ok = debited == SQLITE_ROW || debited == SQLITE_DONE;
        if (debited == SQLITE_ROW) {
            sqlite3_bind_int64(balance, 1, recordId);
            sqlite3_bind_int64(balance, 2, sqlite3_column_int64(debit, 0));
            sqlite3_reset(debit);
            ok = sqlite3_step(balance) == SQLITE_DONE;
            sqlite3_reset(balance);
        }
        sqlite3_reset(debit);
    }
    if (!ok) {
        link::debugLog("builtin database", "offline record not booked: " + m_db.lastError());
        return {};
    }
    return QueryResult({"col1"}, {"1"});
}

QueryResult BuiltinDatabase::whitename(SqliteConnection& db) {
    sqlite3_stmt* statement = db.cached("SELECT hr_code, hr_name, dept_name, hr_phyid FROM card_holder "
                                        "WHERE active = 1 AND hr_phyid IS NOT NULL ORDER BY hr_code");
    if (statement == nullptr)
        return {};
    std::vector<std::string> cells;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        for (int column = 0; column < 4; ++column)
            cells.push_back(columnText(statement, column));
    }
    sqlite3_reset(statement);
    if (rc != SQLITE_DONE)
        return {};
    return QueryResult({"hr_code", "hr_name", "dept_name", "hr_phyid"}, std::move(cells));
}

QueryResult BuiltinDatabase::plainSql(std::string_view sql) {
    // Statements run in turn; the first one that yields columns gives the result, as the first
    // result set of a batch would.
    std::optional<QueryResult> first;
    const char* next = sql.data();
    const char* end = sql.data() + sql.size();
    while (next < end) {
        sqlite3_stmt* statement = nullptr;
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(m_db.handle(), next, static_cast<int>(end - next), &statement, &tail) != SQLITE_OK) {
            link::debugLog("builtin database", m_db.lastError());
            return {};
        }
        next = tail;
        if (statement == nullptr)
            continue;
        const int count = sqlite3_column_count(statement);
        std::vector<std::string> names;
        for (int column = 0; column < count; ++column)
            names.emplace_back(sqlite3_column_name(statement, column));
        std::vector<std::string> cells;
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
            for (int column = 0; column < count; ++column) {
                switch (sqlite3_column_type(statement, column)) {
                case SQLITE_INTEGER:
                    cells.push_back(std::to_string(sqlite3_column_int64(statement, column)));
                    break;
                case SQLITE_FLOAT: {
                    std::array<char, 64> buffer{};
                    const int n =
                        std::snprintf(buffer.data(), buffer.size(), "%.8f", sqlite3_column_double(statement, column));
                    cells.emplace_back(buffer.data(), static_cast<std::size_t>(std::max(n, 0)));
                    break;
                }
                case SQLITE_TEXT:
                    cells.push_back(columnText(statement, column));
                    break;
                case SQLITE_BLOB:
                    cells.emplace_back("[BLOB]");
                    break;
                default:
                    cells.emplace_back();
                }
            }
        }
        sqlite3_finalize(statement);
        if (rc != SQLITE_DONE) {
            link::debugLog("builtin database", m_db.lastError());
            return {};
        }
        if (!first && count > 0)
            first = QueryResult(std::move(names), std::move(cells));
    }
    return first ? std::move(*first) : QueryResult({}, {});
}

bool BuiltinDatabase::begin() {
    sqlite3_stmt* statement = m_db.cached("BEGIN IMMEDIATE");
    if (statement == nullptr || sqlite3_step(statement) != SQLITE_DONE) {
        link::debugLog("builtin database", "cannot start a booking: " + m_db.lastError());
        return false;
    }
    return true;
}

bool BuiltinDatabase::commit() {
    return step("COMMIT");
}

bool BuiltinDatabase::step(const char* sql) {
    sqlite3_stmt* statement = m_db.cached(sql);
    return statement != nullptr && sqlite3_step(statement) == SQLITE_DONE;
}

void BuiltinDatabase::rollback() {
    if (inTransaction())
        m_db.exec("ROLLBACK");
}

bool BuiltinDatabase::inTransaction() const {
    return sqlite3_get_autocommit(m_db.handle()) == 0;
}

} // namespace vorlanx::db
