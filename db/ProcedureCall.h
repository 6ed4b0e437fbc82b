#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vorlanx::db {

// One of the four stored-procedure calls that the transactions send, recognised in exactly the form
// they build it, blanks included. The values are taken as written; the procedure judges them.
struct ProcedureCall {
    enum class Kind { Query, Online, Offline, Whitename };

    Kind kind = Kind::Query;
    std::string cardNumber; // decimal
    std::string hexCard;    // 8 hex digits
    std::string machine;    // decimal machine number; for Whitename the operator's text
    std::string date;       // YYYY-MM-DD
    std::string time;       // hh:mm:ss
    std::string amount;     // fen, decimal

    // nullopt for any other text, which is then plain SQL.
    static std::optional<ProcedureCall> parse(std::string_view command);
};

// The procedure a command calls, for the log: the command up to its first argument, without the
// card and amount of the call.
std::string_view procedureOf(std::string_view command);

} // namespace vorlanx::db
