#include "txn/TransactionTexts.h"

#include "link/HexText.h"
#include "link/LogText.h"
#include "txn/TextField.h"

#include <cstdint>

namespace vorlanx::txn {

namespace {

std::string_view digitsAt(std::string_view text, std::size_t start, std::size_t length) {
    if (start >= text.size())
        return {};
    return text.substr(start, length);
}

} // namespace

std::string decimalOf(std::string_view hex) {
    return link::convertBase(hex, 16, 10);
}

std::string cardQueryCommand(std::string_view cardHex, std::string_view machineHex) {
    // The machine number is the one value without quotes, and nothing follows it.
    return "execute dbo.sp_consume_ykt_query;1 @cardno = '" + decimalOf(cardHex) + "',@hexkh = '" +
           std::string(cardHex) + "',@macid =" + decimalOf(machineHex);
}

std::string onlineConsumptionCommand(std::string_view cardHex, std::string_view machineHex, std::string_view date,
                                     std::string_view time, std::string_view amountFen) {
    std::string text = "exec sp_consume_ykt_online @rinfo=N'type = online,hexkh =";
    text += cardHex;
    text += ",macid =" + decimalOf(machineHex);
    text += ",rdate =";
    text += date;
    text += ",rtime =";
    text += time;
    text += ",cardno =" + decimalOf(cardHex);
    text += ",xfmoney =";
    text += amountFen;
    text += ",'";
    return text;
}

std::string offlineUploadCommand(std::string_view cardHex, std::string_view machineHex, std::string_view recordTime,
                                 std::string_view amountFen) {
    // Unlike the online call, the keys carry no blank before "=" and the first key is "rtype".
    std::string text = "exec sp_consume_ykt_offline @rinfo=N'rtype= offline,hexkh=";
    text += cardHex;
    text += ",macid=" + decimalOf(machineHex);
    text += ",rdate=" + bookingDate(recordTime);
    text += ",rtime=" + bookingTime(recordTime);
    text += ",cardno=" + decimalOf(cardHex);
    text += ",xfmoney=";
    text += amountFen;
    text += ",'";
    return text;
}

std::string whitenameCommand(std::string_view machineText) {
    std::string quoted;
    quoted.reserve(machineText.size());
    for (char c : machineText) {
        quoted.push_back(c);
        if (c == '\'')
            quoted.push_back('\'');
    }
    return "execute dbo.sp_consume_ykt_whitename;1 @macid = '" + quoted + "'";
}

std::string bookingDate(std::string_view recordTime) {
    std::string date = "20";
    date += digitsAt(recordTime, 0, 2);
    date += '-';
    date += digitsAt(recordTime, 2, 2);
    date += '-';
    date += digitsAt(recordTime, 4, 2);
    return date;
}

std::string bookingTime(std::string_view recordTime) {
    std::string time(digitsAt(recordTime, 6, 2));
    time += ':';
    time += digitsAt(recordTime, 8, 2);
    time += ':';
    time += digitsAt(recordTime, 10, 2);
    return time;
}

std::string yuanText(std::string_view amountFen) {
    std::uint64_t fen = 0;
    for (char c : amountFen) {
        if (c < '0' || c > '9')
            break;
        fen = fen * 10 + static_cast<std::uint64_t>(c - '0');
    }
    // Whole-number arithmetic: a fen amount has an exact yuan text, no rounding needed.
    std::string text = std::to_string(fen / 100);
    const auto cents = static_cast<unsigned>(fen % 100);
    if (cents != 0) {
        text += '.';
        text += static_cast<char>('0' + cents / 10);
        if (cents % 10 != 0)
            text += static_cast<char>('0' + cents % 10);
    }
    return text;
}

std::string offlineRecordLine(std::string_view cardHex, std::string_view amountFen, std::string_view recordTime) {
    return "离线消费：" + decimalOf(cardHex) + "|" + yuanText(amountFen) + "元|" + bookingDate(recordTime) + "|" +
           bookingTime(recordTime) + std::string(link::kLineEnd);
}

std::string transactionLogLine(std::string_view what, std::string_view address, std::string_view portText,
                               std::string_view machineHex, std::string_view cardHex, std::string_view amountFen,
                               std::string_view outcome) {
    std::string line(what);
    line += ' ';
    line += address;
    line += ':';
    line += portText;
    line += " 机号" + decimalOf(machineHex) + " 卡" + decimalOf(cardHex) + " " + yuanText(amountFen) + "元 ";
    line += outcome;
    return line;
}

std::string cardQueryFailedLine(std::string_view cardHex) {
    return std::string(cardHex) + "查询失败" + std::string(link::kLineEnd);
}

std::string cardReplyPayload(std::string_view resultPrefix, std::string_view code, std::string_view line1,
                             std::string_view line2, std::string_view line3, std::string_view line4) {
    std::string payload = encodeTextField(line1);
    payload += encodeTextField(line2);
    payload += encodeTextField(line3);
    payload += encodeTextField(line4);
    payload += resultPrefix;
    payload += code;
    return payload;
}

} // namespace vorlanx::txn
