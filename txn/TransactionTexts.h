#pragma once

#include <string>
#include <string_view>

// The texts the card transactions build: the stored-procedure calls, exactly as the canteen
// database expects them (blanks, quotes and trailing commas included), and the derived values
// that go into them. Hex fields are as the terminal sent them.
namespace vorlanx::txn {

// Decimal text of a hex field of the frame (card or machine number).
std::string decimalOf(std::string_view hex);

std::string cardQueryCommand(std::string_view cardHex, std::string_view machineHex);
std::string onlineConsumptionCommand(std::string_view cardHex, std::string_view machineHex, std::string_view date,
                                     std::string_view time, std::string_view amountFen);
std::string offlineUploadCommand(std::string_view cardHex, std::string_view machineHex, std::string_view recordTime,
                                 std::string_view amountFen);
// machineText is what the operator typed; a quote in it is doubled so that it stays inside the
// string literal whatever was typed.
std::string whitenameCommand(std::string_view machineText);

// Terminals store yyMMddhhmmss; the century is always 20. The digits are taken as they are.
std::string bookingDate(std::string_view recordTime);
std::string bookingTime(std::string_view recordTime);

// Fen as yuan without trailing zeros: 1250 gives 12.5, 300 gives 3, 5 gives 0.05. Text that does
// not start with a number counts as 0.
std::string yuanText(std::string_view amountFen);

// The parameter-return line of an offline record, CRLF included.
std::string offlineRecordLine(std::string_view cardHex, std::string_view amountFen, std::string_view recordTime);
// The log line of a payment or an offline record, without line end: what, the terminal
// (address:port, machine number), the card, the amount and the outcome, e.g.
// "[消费] 127.0.0.5:3001 机号1 卡12345678 2.5元 成功".
std::string transactionLogLine(std::string_view what, std::string_view address, std::string_view portText,
                               std::string_view machineHex, std::string_view cardHex, std::string_view amountFen,
                               std::string_view outcome);
// The outcome of a payment or an offline record dropped before it reached the database: it waited
// too long for the connection, or a stop gave it up. Nothing was booked; the terminal sends it again.
inline constexpr std::string_view kDroppedOutcome = "已丢弃：未送数据库，待终端重发";
// The parameter-return line of a card query the database could not answer, CRLF included.
std::string cardQueryFailedLine(std::string_view cardHex);

// Payload of the "63" reply: four display fields, then the result prefix and the procedure's code.
std::string cardReplyPayload(std::string_view resultPrefix, std::string_view code, std::string_view line1,
                             std::string_view line2, std::string_view line3, std::string_view line4);

// Operation panel texts of the personnel load.
inline constexpr std::string_view kPersonnelRefreshText = "重新获取白名单";
inline constexpr std::string_view kPersonnelCountPrefix = "人事档案数：";
inline constexpr std::string_view kPersonnelLoadFailedText = "人事档案读取失败，名单保持不变";

} // namespace vorlanx::txn
