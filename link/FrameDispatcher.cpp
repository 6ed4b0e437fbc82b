#include "link/FrameDispatcher.h"

#include "link/ClockTexts.h"
#include "link/FrameBuilders.h"
#include "link/FrameChecksum.h"
#include "link/FrameLayout.h"
#include "link/FrameReader.h"
#include "link/HexText.h"
#include "link/LogText.h"

#include <optional>

namespace vorlanx::link {

// The sender as text, made once and only if something shows or names it.
class FrameDispatcher::Source {
public:
    explicit Source(const Peer& from) : m_from(from) {}

    const std::string& address() {
        if (m_address.empty())
            m_address = m_from.addressText();
        return m_address;
    }
    const std::string& port() {
        if (m_port.empty())
            m_port = std::to_string(m_from.port);
        return m_port;
    }
    std::string text() { return address() + ":" + port(); }

private:
    const Peer& m_from;
    std::string m_address;
    std::string m_port;
};

namespace {

TerminalTable::FrameKind kindOf(const FrameReader& frame) {
    using Kind = TerminalTable::FrameKind;
    if (frame.is(frame::kCommand, frame::kCardTransaction) && frame.is(frame::kKind, frame::kKindCardQuery))
        return Kind::CardQuery;
    if (frame.is(frame::kCommand, frame::kCardTransaction) && frame.is(frame::kKind, frame::kKindPayment))
        return Kind::Payment;
    if (frame.is(frame::kCommand, frame::kOfflineRecord) && frame.is(frame::kKind, frame::kKindPayment))
        return Kind::OfflineRecord;
    return Kind::Other;
}

} // namespace

FrameDispatcher::FrameDispatcher(DatagramSender& sender, TerminalTable& terminals, ResultBox& results,
                                 DispatchSink& sink, TransactionJobs* jobs, Clock clock)
    : m_sender(sender), m_terminals(terminals), m_results(results), m_sink(sink), m_jobs(jobs),
      m_clock(std::move(clock)) {
    if (!m_clock)
        m_clock = [] { return localTime(std::time(nullptr)); };
}

UdpEndpoint::BatchHandler FrameDispatcher::handler() {
    return [this](std::span<const UdpEndpoint::Datagram> batch) { dispatchBatch(batch); };
}

void FrameDispatcher::dispatchBatch(std::span<const UdpEndpoint::Datagram> batch) {
    for (const UdpEndpoint::Datagram& d : batch)
        dispatchOne(d.from, d.bytes);
    if (m_jobs != nullptr)
        m_jobs->endOfBatch();
}

void FrameDispatcher::dispatchDatagram(const std::string& address, std::uint16_t port,
                                       std::span<const std::uint8_t> data) {
    if (const auto value = AddressFilter::parseAddress(address))
        dispatchDatagram(Peer{*value, port}, data);
}

void FrameDispatcher::dispatchDatagram(const Peer& from, std::span<const std::uint8_t> data) {
    const UdpEndpoint::Datagram one{from, data};
    dispatchBatch(std::span(&one, 1));
}

void FrameDispatcher::dispatchOne(const Peer& from, std::span<const std::uint8_t> data) {
    const FrameReader frame(data);
    Source source(from);
    const bool logged = m_sink.showsClientEntries();

    // A sender the service does not serve is logged, so that the engineer sees who knocked, and
    // nothing more: no row, no reply, no database call.
    if (const auto filter = addressFilter(); filter && !filter->admits(from.address)) {
        m_terminals.refused();
        if (logged)
            m_sink.clientEntry(refusedEntryText(m_clock(), source.address(), source.port(), frame.text()));
        return;
    }

    // A one-byte datagram has no machine number to show or count.
    const std::string machine = data.size() > 1 ? frame.decimal(frame::kMachine) : std::string();
    const TerminalTable::FrameKind kind = kindOf(frame);
    // Counted before the entry is logged: whoever has seen the entry finds the datagram counted.
    const TerminalTable::Update update =
        m_terminals.heard(from, machine, kind, checksumMatches(data), std::time(nullptr));
    updateTerminalList(update, source, machine);
    if (logged)
        m_sink.clientEntry(clientEntryText(m_clock(), source.address(), source.port(), frame.text()));

    // Every rule is tested on its own; one frame may match several.
    if (frame.is(frame::kAcknowledgeKey, frame::kAcknowledgeRequestKey)) {
        const auto reply = hexToBytes(acknowledgementFrame(frame.headerAndMachine()));
        m_sender.sendDatagram(source.address(), from.port, reply);
    }
    if (frame.is(frame::kCommand, frame::kSettingDone))
        appendResult(from, source.text() + "|设置成功\r\n", true);
    if (m_jobs != nullptr) {
        switch (kind) {
        case TerminalTable::FrameKind::CardQuery:
            m_jobs->startCardQuery({from.port, frame.cardNumber(), frame.machine(), source.address()});
            break;
        case TerminalTable::FrameKind::Payment:
            m_jobs->startOnlineConsumption({from.port, frame.cardNumber(), frame.machine(), source.address(),
                                            frame.decimal(frame::kPaymentAmount)});
            break;
        case TerminalTable::FrameKind::OfflineRecord:
            m_jobs->startOfflineUpload({source.port(), frame.cardNumber(), frame.machine(), source.address(),
                                        frame.decimal(frame::kOfflineAmount), frame.recordTime()});
            break;
        case TerminalTable::FrameKind::Other:
            break;
        }
    }
    // Read from the bytes, the count is never below 0, and a missing one reads as "0".
    if (frame.is(frame::kReplyKey, frame::kCountReplyKey))
        appendResult(from, source.text() + "|白名单数：" + frame.decimal(frame::kCount) + "\r\n", false);
    if (frame.is(frame::kReplyKey, frame::kClockReplyKey))
        appendResult(from, source.text() + "|返回时间：" + frame.terminalClock() + "\r\n", false);
}

void FrameDispatcher::updateTerminalList(const TerminalTable::Update& update, Source& source,
                                         const std::string& machine) {
    switch (update.change) {
    case TerminalTable::Change::Added:
        if (!update.forgotten.empty())
            m_sink.terminalRemoved(update.forgotten, {});
        m_sink.terminalAdded(source.address(), source.port(), machine, std::to_string(update.rowCount));
        break;
    case TerminalTable::Change::Removed:
        m_sink.terminalRemoved(source.address(), source.address() + "的机号已变更");
        break;
    case TerminalTable::Change::None:
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

void FrameDispatcher::appendResult(const Peer& from, const std::string& line, bool recount) {
    m_terminals.answered(from.address, line.substr(0, line.size() - kLineEnd.size()));
    const std::size_t count = m_results.append(line);
    m_sink.resultAppended(line, recount ? std::optional<std::size_t>(count) : std::nullopt);
}

} // namespace vorlanx::link
