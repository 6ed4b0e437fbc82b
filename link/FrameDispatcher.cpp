#include "link/FrameDispatcher.h"

#include "link/ClockTexts.h"
#include "link/FrameBuilders.h"
#include "link/FrameChecksum.h"
#include "link/FrameLayout.h"
#include "link/FrameReader.h"
#include "link/HexText.h"
#include "link/LogText.h"

#include <charconv>
#include <optional>

namespace vorlanx::link {

namespace {

std::string decimalOf(std::string_view hex) {
    return convertBase(hex, 16, 10);
}

// White-list count for the operator; anything that does not read as a positive number is 0.
std::string countText(std::string_view hex) {
    const std::string decimal = decimalOf(hex);
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(decimal.data(), decimal.data() + decimal.size(), value);
    if (error != std::errc{} || end != decimal.data() + decimal.size() || value < 1)
        return "0";
    return decimal;
}

} // namespace

FrameDispatcher::FrameDispatcher(DatagramSender& sender, OnlineTerminals& terminals, ResultBox& results,
                                 DispatchSink& sink, TransactionJobs* jobs, Clock clock)
    : m_sender(sender), m_terminals(terminals), m_results(results), m_sink(sink), m_jobs(jobs),
      m_clock(std::move(clock)) {
    if (!m_clock)
        m_clock = [] { return localTime(std::time(nullptr)); };
}

UdpEndpoint::Handler FrameDispatcher::handler() {
    return [this](const std::string& address, std::uint16_t port, std::span<const std::uint8_t> data) {
        dispatchDatagram(address, port, data);
    };
}

void FrameDispatcher::dispatchDatagram(const std::string& address, std::uint16_t port,
                                       std::span<const std::uint8_t> data) {
    const std::string portText = std::to_string(port);
    const FrameReader frame(data);

    // A sender the service does not serve is logged, so that the engineer sees who knocked, and
    // nothing more: no row, no reply, no database call.
    TerminalHealth* const health = m_health.load();
    if (const auto filter = addressFilter(); filter && !filter->admits(address)) {
        if (health)
            health->refused();
        m_sink.clientEntry(refusedEntryText(m_clock(), address, portText, frame.text()));
        return;
    }

    const std::string_view command = frame.command();
    const std::string_view kind = frame.kind();
    // A one-byte datagram has no machine number to show or count.
    const std::string machine = frame.text().size() > 2 ? decimalOf(frame.machine()) : std::string();
    // Counted before the entry is logged: whoever has seen the entry finds the datagram counted.
    if (health) {
        using Kind = TerminalHealth::FrameKind;
        const Kind counted = command == frame::kCardTransaction && kind == frame::kKindCardQuery ? Kind::CardQuery
                             : command == frame::kCardTransaction && kind == frame::kKindPayment ? Kind::Payment
                             : command == frame::kOfflineRecord && kind == frame::kKindPayment   ? Kind::OfflineRecord
                                                                                                 : Kind::Other;
        health->heard(address, port, machine, counted, std::time(nullptr));
        if (checksumMatches(frame.text()))
            health->checksumMatched(address);
    }

    updateTerminalList(address, portText, machine);
    m_sink.clientEntry(clientEntryText(m_clock(), address, portText, frame.text()));

    const std::string_view replyKey = frame.replyKey();
    const std::string source = address + ":" + portText;

    // Every rule is tested on its own; one frame may match several.
    if (frame.acknowledgeKey() == frame::kAcknowledgeRequestKey) {
        const auto reply = hexToBytes(acknowledgementFrame(frame.headerAndMachine()));
        m_sender.sendDatagram(address, port, reply);
    }
    if (command == frame::kSettingDone)
        appendResult(address, source + "|设置成功\r\n", true);
    if (m_jobs != nullptr && command == frame::kCardTransaction && kind == frame::kKindCardQuery)
        m_jobs->startCardQuery({port, std::string(frame.cardNumber()), std::string(frame.machine()), address});
    if (m_jobs != nullptr && command == frame::kCardTransaction && kind == frame::kKindPayment)
        m_jobs->startOnlineConsumption({port, std::string(frame.cardNumber()), std::string(frame.machine()), address,
                                        decimalOf(frame.paymentAmount())});
    if (m_jobs != nullptr && command == frame::kOfflineRecord && kind == frame::kKindPayment)
        m_jobs->startOfflineUpload({portText, std::string(frame.cardNumber()), std::string(frame.machine()), address,
                                    decimalOf(frame.offlineAmount()), std::string(frame.recordTime())});
    if (replyKey == frame::kCountReplyKey)
        appendResult(address, source + "|白名单数：" + countText(frame.count()) + "\r\n", false);
    if (replyKey == frame::kClockReplyKey)
        appendResult(address, source + "|返回时间：" + std::string(frame.terminalClock()) + "\r\n", false);
}

void FrameDispatcher::updateTerminalList(const std::string& address, const std::string& portText,
                                         const std::string& machine) {
    // A one-byte datagram is logged but never listed: it has no machine number to show.
    if (machine.empty())
        return;
    const OnlineTerminals::Update update = m_terminals.hear(address, portText, machine);
    switch (update.change) {
    case OnlineTerminals::Change::Added:
        if (!update.forgotten.empty())
            m_sink.terminalRemoved(update.forgotten, {});
        m_sink.terminalAdded(address, portText, machine, std::to_string(update.rowCount));
        break;
    case OnlineTerminals::Change::Removed:
        m_sink.terminalRemoved(address, address + "的机号已变更");
        break;
    case OnlineTerminals::Change::None:
        break;
    }
}

void FrameDispatcher::setAddressFilter(std::shared_ptr<const AddressFilter> filter) {
    std::lock_guard lock(m_filterMutex);
    m_filter = std::move(filter);
}

std::shared_ptr<const AddressFilter> FrameDispatcher::addressFilter() const {
    std::lock_guard lock(m_filterMutex);
    return m_filter;
}

void FrameDispatcher::appendResult(const std::string& address, const std::string& line, bool recount) {
    if (TerminalHealth* const health = m_health.load())
        health->answered(address, line.substr(0, line.size() - kLineEnd.size()));
    const std::size_t count = m_results.append(line);
    m_sink.resultAppended(line, recount ? std::optional<std::size_t>(count) : std::nullopt);
}

} // namespace vorlanx::link
