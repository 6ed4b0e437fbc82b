#include "db/ProcedureCall.h"

#include <algorithm>

#include <initializer_list>

namespace vorlanx::db {

namespace {

constexpr std::string_view queryHead = "execute dbo.sp_consume_ykt_query;1 @cardno = '";
constexpr std::string_view onlineHead = "exec sp_consume_ykt_online @rinfo=N'type = online,hexkh =";
constexpr std::string_view offlineHead = "exec sp_consume_ykt_offline @rinfo=N'rtype= offline,hexkh=";
constexpr std::string_view whitenameHead = "execute dbo.sp_consume_ykt_whitename;1 @macid = '";

// The values the transactions put into a call: digits, hex digits, dates and times.
bool plainValue(std::string_view value) {
    for (char c : value) {
        const bool ok =
            (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' || c == ':';
        if (!ok)
            return false;
    }
    return true;
}

// Walks the text as head, value, separator, value, ..., tail. Every value runs up to the next
// separator and holds no blank or punctuation, so a mangled text is not mistaken for a call.
bool splitFields(std::string_view text, std::string_view head, std::initializer_list<std::string_view> separators,
                 std::string_view tail, std::initializer_list<std::string*> values) {
    if (!text.starts_with(head) || !text.ends_with(tail) || text.size() < head.size() + tail.size())
        return false;
    std::string_view rest = text.substr(head.size(), text.size() - head.size() - tail.size());
    auto value = values.begin();
    for (std::string_view separator : separators) {
        const std::size_t at = rest.find(separator);
        if (at == std::string_view::npos)
            return false;
        (*value)->assign(rest.substr(0, at));
        ++value;
        rest.remove_prefix(at + separator.size());
    }
    (*value)->assign(rest);
    for (std::string* field : values) {
        if (!plainValue(*field))
            return false;
    }
    return true;
}

} // namespace

std::optional<ProcedureCall> ProcedureCall::parse(std::string_view command) {
    ProcedureCall call;
    if (command.starts_with(queryHead)) {
        call.kind = Kind::Query;
        if (splitFields(command, queryHead, {"',@hexkh = '", "',@macid ="}, "",
                        {&call.cardNumber, &call.hexCard, &call.machine}))
            return call;
    } else if (command.starts_with(onlineHead)) {
        call.kind = Kind::Online;
        if (splitFields(command, onlineHead, {",macid =", ",rdate =", ",rtime =", ",cardno =", ",xfmoney ="}, ",'",
                        {&call.hexCard, &call.machine, &call.date, &call.time, &call.cardNumber, &call.amount}))
            return call;
    } else if (command.starts_with(offlineHead)) {
        call.kind = Kind::Offline;
        if (splitFields(command, offlineHead, {",macid=", ",rdate=", ",rtime=", ",cardno=", ",xfmoney="}, ",'",
                        {&call.hexCard, &call.machine, &call.date, &call.time, &call.cardNumber, &call.amount}))
            return call;
    } else if (command.starts_with(whitenameHead) && command.ends_with("'") && command.size() > whitenameHead.size()) {
        // The machine number is the operator's free text and is not used; any quote in it is harmless.
        call.kind = Kind::Whitename;
        call.machine = command.substr(whitenameHead.size(), command.size() - whitenameHead.size() - 1);
        return call;
    }
    return std::nullopt;
}

std::string_view procedureOf(std::string_view command) {
    return command.substr(0, std::min(command.find(" @"), command.size()));
}

} // namespace vorlanx::db
