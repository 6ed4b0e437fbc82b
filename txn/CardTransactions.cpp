#include "txn/CardTransactions.h"

#include "link/FrameBuilders.h"
#include "link/FrameLayout.h"
#include "link/HexText.h"
#include "txn/TransactionTexts.h"

#include <charconv>
#include <cstdint>
#include <optional>

namespace vorlanx::txn {

namespace {

// The online procedure's code of a payment made.
constexpr std::string_view kPaid = "00";

struct Answer {
    std::string code;
    std::string line1;
    std::string line2;
    std::string line3;
    std::string line4;
};

// Reads the answer columns and closes the result: the job's whole use of it.
Answer readAnswer(db::QueryResult& result) {
    Answer answer{result.fieldText("col1"), result.fieldText("col5"), result.fieldText("col6"),
                  result.fieldText("col7"), result.fieldText("col8")};
    result.closeQuery();
    return answer;
}

std::string replyFrame(std::string_view machineHex, std::string_view resultPrefix, const Answer& answer) {
    return link::cardReplyFrame(machineHex, cardReplyPayload(resultPrefix, answer.code, answer.line1, answer.line2,
                                                             answer.line3, answer.line4));
}

std::optional<std::uint16_t> portOf(std::string_view text) {
    std::uint16_t port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return port;
}

} // namespace

CardTransactions::CardTransactions(db::Database& database, link::DatagramSender& sender, const link::SharedClock& clock,
                                   link::ResultBox& results, link::DispatchSink& sink)
    : m_database(database), m_sender(sender), m_clock(clock), m_results(results), m_sink(sink) {}

void CardTransactions::runCardQuery(const link::CardQueryArgs& args) {
    db::QueryResult result = m_database.runQuery(cardQueryCommand(args.card, args.machine));
    // Dropped before the database saw it: the terminal asks again, and a stop must not answer late.
    if (result.wasDropped())
        return;
    if (!result.isOpen())
        appendResult(cardQueryFailedLine(args.card));
    // The terminal waits for an answer to every query, so a failed one still gets a reply:
    // blank display lines and no result code.
    const Answer answer = readAnswer(result);
    const auto frame = link::hexToBytes(replyFrame(args.machine, link::frame::kCardQueryResultPrefix, answer));
    m_sender.sendDatagram(args.address, args.port, frame);
}

void CardTransactions::runCardQueries(std::span<const link::CardQueryArgs> queries) {
    std::vector<std::string> commands;
    commands.reserve(queries.size());
    for (const link::CardQueryArgs& args : queries)
        commands.push_back(cardQueryCommand(args.card, args.machine));
    std::vector<db::QueryResult> results = m_database.runQueries(commands);
    std::vector<link::DatagramSender::Outgoing> replies;
    replies.reserve(queries.size());
    for (std::size_t i = 0; i < queries.size() && i < results.size(); ++i) {
        const link::CardQueryArgs& args = queries[i];
        db::QueryResult& result = results[i];
        if (result.wasDropped())
            continue;
        if (!result.isOpen())
            appendResult(cardQueryFailedLine(args.card));
        const Answer answer = readAnswer(result);
        replies.push_back({args.address, args.port,
                           link::hexToBytes(replyFrame(args.machine, link::frame::kCardQueryResultPrefix, answer))});
    }
    m_sender.sendDatagrams(replies);
}

void CardTransactions::runOnlineConsumption(const link::OnlineConsumptionArgs& args) {
    // Date and time come from one reading of the clock, so a payment at midnight is never
    // booked with the new date and the old time.
    const link::ClockTexts now = m_clock.get();
    db::QueryResult result =
        m_database.runQuery(onlineConsumptionCommand(args.card, args.machine, now.date, now.time, args.amount));
    const std::string port = std::to_string(args.port);
    if (result.wasDropped()) {
        m_sink.transactionLogged(
            transactionLogLine("[消费]", args.address, port, args.machine, args.card, args.amount, kDroppedOutcome));
        return;
    }
    const Answer answer = readAnswer(result);
    // No result code means nothing was decided; silence makes the terminal report the payment
    // again instead of taking it as done.
    if (answer.code.empty()) {
        m_sink.transactionLogged(transactionLogLine("[消费]", args.address, port, args.machine, args.card, args.amount,
                                                    "未记账：数据库未应答"));
        return;
    }
    m_sink.transactionLogged(transactionLogLine("[消费]", args.address, port, args.machine, args.card, args.amount,
                                                answer.code == kPaid ? std::string("成功") : "拒绝 " + answer.code));
    const auto frame = link::hexToBytes(replyFrame(args.machine, link::frame::kOnlinePaymentResultPrefix, answer));
    m_sender.sendDatagram(args.address, args.port, frame);
}

void CardTransactions::runOfflineUpload(const link::OfflineUploadArgs& args) {
    // The line is written first, so the box also lists records the database did not book.
    appendResult(offlineRecordLine(args.card, args.amount, args.recordTime));
    db::QueryResult result =
        m_database.runQuery(offlineUploadCommand(args.card, args.machine, args.recordTime, args.amount));
    if (result.wasDropped()) {
        m_sink.transactionLogged(transactionLogLine("[离线]", args.address, args.port, args.machine, args.card,
                                                    args.amount, kDroppedOutcome));
        return;
    }
    const std::string booked = result.fieldText(std::size_t{0});
    result.closeQuery();
    m_sink.transactionLogged(transactionLogLine("[离线]", args.address, args.port, args.machine, args.card, args.amount,
                                                booked == "1" ? "已记账" : "未记账"));
    // The procedure has committed the record when it says "1"; only then may the terminal
    // delete it from its memory.
    if (booked != "1")
        return;
    const std::optional<std::uint16_t> port = portOf(args.port);
    if (!port)
        return;
    m_sender.sendDatagram(args.address, *port, link::hexToBytes(link::offlineAcknowledgementFrame(args.machine)));
}

void CardTransactions::appendResult(const std::string& line) {
    m_results.append(line);
    m_sink.resultAppended(line, std::nullopt);
}

} // namespace vorlanx::txn
