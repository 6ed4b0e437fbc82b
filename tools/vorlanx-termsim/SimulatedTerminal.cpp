#include "tools/vorlanx-termsim/SimulatedTerminal.h"

#include <cstdio>
#include <mutex>

namespace vorlanx::tools {

namespace {

std::tm localTime(std::time_t t) {
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &t);
#else
    localtime_r(&t, &tm);
#endif
    return tm;
}

std::uint64_t micros(SimulatedTerminal::Clock::duration d) {
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(d).count();
    return us > 0 ? static_cast<std::uint64_t>(us) : 0;
}

bool startsWith(const std::string& text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

SimulatedTerminal::SimulatedTerminal(const SimulatorOptions& options, std::uint16_t machine,
                                     std::uint32_t serviceAddress, Clock::time_point firstHeartbeat)
    : m_options(options), m_machine(machine), m_serviceAddress(serviceAddress), m_buffer(8192),
      m_nextHeartbeat(firstHeartbeat),
      m_recordClock(options.recordClockStart != 0 ? static_cast<std::time_t>(options.recordClockStart)
                                                  : std::time(nullptr)) {}

bool SimulatedTerminal::bind(const std::string& address) {
    return m_socket.bind(address, 0);
}

void SimulatedTerminal::send(const Bytes& bytes, SimulatorReport& report) {
    if (!m_socket.sendTo(m_serviceAddress, m_options.servicePort, bytes))
        ++report.sendFailures;
}

std::string SimulatedTerminal::nextRecordTime() {
    const std::tm tm = localTime(m_recordClock++);
    char text[64];
    std::snprintf(text, sizeof text, "%02d%02d%02d%02d%02d%02d", tm.tm_year % 100, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

std::string SimulatedTerminal::clockCode() const {
    const std::tm tm = localTime(std::time(nullptr) + m_clockOffset);
    char text[64];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_wday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

void SimulatedTerminal::start(RequestKind kind, std::uint32_t card, std::uint32_t amountFen, Clock::time_point origin,
                              Clock::time_point now, SimulatorReport& report) {
    m_kind = kind;
    m_card = card;
    m_amount = amountFen;
    switch (kind) {
    case RequestKind::CardQuery:
        m_frame = cardQueryFrame(m_machine, card);
        break;
    case RequestKind::OnlinePayment:
        m_frame = onlinePaymentFrame(m_machine, card, amountFen);
        break;
    case RequestKind::OfflineUpload:
        m_recordTime = nextRecordTime();
        m_frame = offlineUploadFrame(m_machine, card, m_recordTime, amountFen);
        break;
    }
    m_busy = true;
    m_origin = origin;
    m_lastSent = now;
    m_attempts = 1;
    m_replies = 0;
    ++report.sent;
    ++report.kinds[static_cast<std::size_t>(kind)].sent;
    send(m_frame, report);
}

void SimulatedTerminal::sendGarbage(const Bytes& datagram, SimulatorReport& report) {
    ++report.garbage;
    send(datagram, report);
}

void SimulatedTerminal::sendSettingDone(SimulatorReport& report) {
    send(settingDoneFrame(m_machine), report);
}

void SimulatedTerminal::receiveAll(Clock::time_point now, SimulatorReport& report, std::mt19937_64& random) {
    std::uint32_t from = 0;
    std::uint16_t port = 0;
    for (;;) {
        const long n = m_socket.receive(m_buffer, &from, &port);
        if (n < 0)
            return;
        handle(std::span(m_buffer).first(static_cast<std::size_t>(n)), from, port, now, report, random);
    }
}

void SimulatedTerminal::handle(std::span<const std::uint8_t> datagram, std::uint32_t fromAddress,
                               std::uint16_t fromPort, Clock::time_point now, SimulatorReport& report,
                               std::mt19937_64& random) {
    const ReceivedFrame frame = readFrame(datagram);
    if (!frame.valid || frame.machine != m_machine) {
        ++report.malformed;
        return;
    }
    switch (frame.command) {
    case kCommandCardTransaction:
    case kCommandOfflineAcknowledge:
        handleReply(frame, now, report, random);
        return;
    case kCommandAcknowledge:
        if (m_heartbeatOutstanding && frame.lengthMatches) {
            m_heartbeatOutstanding = false;
            ++report.heartbeatsAnswered;
        } else {
            ++report.unexpected;
        }
        return;
    default:
        answerAdministration(frame, fromAddress, fromPort, report);
        return;
    }
}

void SimulatedTerminal::handleReply(const ReceivedFrame& frame, Clock::time_point now, SimulatorReport& report,
                                    std::mt19937_64& random) {
    const bool waiting = m_busy || m_settling;
    const bool cardReply = frame.command == kCommandCardTransaction;
    if (!waiting || cardReply != (m_kind != RequestKind::OfflineUpload)) {
        ++report.unexpected;
        return;
    }
    // The reply must be the one this kind of request gets, whole.
    bool paid = false;
    std::string result;
    if (cardReply) {
        const auto field = cardReplyResult(frame.parameters);
        const std::string_view prefix = m_kind == RequestKind::CardQuery ? "01010" : "0101";
        if (!frame.lengthMatches || !field || !startsWith(*field, prefix)) {
            ++report.malformed;
            return;
        }
        result = field->substr(prefix.size());
        paid = m_kind == RequestKind::OnlinePayment && result == "00";
    } else if (!frame.lengthMatches || !frame.parameters.empty()) {
        ++report.malformed;
        return;
    }
    ++m_replies;

    if (!m_busy) {
        // A late reply to an earlier send of a request already settled: the service acted on
        // that send too. An offline record books once whatever; a payment books again.
        ++report.duplicates;
        if (paid) {
            ++report.paid;
            report.paidFen += m_amount;
            if (m_options.keepLedger)
                report.ledger.push_back({m_kind, m_card, m_machine, m_amount, {}});
        }
        if (m_replies >= m_attempts)
            m_settling = false;
        return;
    }

    if (m_options.dropReplies > 0 && std::uniform_real_distribution<double>(0, 1)(random) < m_options.dropReplies) {
        ++report.dropped;
        if (paid) {
            ++report.droppedPaid;
            report.droppedPaidFen += m_amount;
        }
        return;
    }

    const auto k = static_cast<std::size_t>(m_kind);
    ++report.answered;
    ++report.kinds[k].answered;
    const std::uint64_t us = micros(now - m_origin);
    report.latency.record(us);
    report.kinds[k].latency.record(us);
    switch (m_kind) {
    case RequestKind::CardQuery:
        if (result == "1")
            ++report.usable;
        break;
    case RequestKind::OnlinePayment:
        if (paid) {
            ++report.paid;
            report.paidFen += m_amount;
            if (m_options.keepLedger)
                report.ledger.push_back({m_kind, m_card, m_machine, m_amount, {}});
        } else {
            ++report.refused;
        }
        break;
    case RequestKind::OfflineUpload:
        ++report.offlineAcknowledged;
        report.offlineFen += m_amount;
        if (m_options.keepLedger)
            report.ledger.push_back({m_kind, m_card, m_machine, m_amount, m_recordTime});
        break;
    }
    finishRequest(now);
}

void SimulatedTerminal::finishRequest(Clock::time_point) {
    m_busy = false;
    m_settling = m_replies < m_attempts;
    m_settleUntil = m_lastSent + settleWindow();
}

std::chrono::milliseconds SimulatedTerminal::settleWindow() const {
    return m_options.settle.count() > 0 ? m_options.settle : m_options.timeout;
}

void SimulatedTerminal::answerAdministration(const ReceivedFrame& frame, std::uint32_t fromAddress,
                                             std::uint16_t fromPort, SimulatorReport& report) {
    const auto p = frame.parameters;
    Bytes answer;
    switch (frame.command) {
    case kCommandReadClock:
        answer = clockAnswerFrame(m_machine, clockCode());
        break;
    case kCommandReadCount:
        answer = countAnswerFrame(m_machine, static_cast<std::uint32_t>(m_whitelist.size()));
        break;
    case kCommandSetClock: {
        const std::string digits = bcdDigits(p);
        std::tm tm{};
        if (digits.size() != 16 || std::sscanf(digits.c_str(), "%4d%2d%2d%*2d%2d%2d%2d", &tm.tm_year, &tm.tm_mon,
                                               &tm.tm_mday, &tm.tm_hour, &tm.tm_min, &tm.tm_sec) != 6) {
            ++report.malformed;
            return;
        }
        tm.tm_year -= 1900;
        tm.tm_mon -= 1;
        tm.tm_isdst = -1;
        std::time_t set = 0;
        {
            // mktime reads the time zone under a lock of the C library that ThreadSanitizer cannot
            // see; the simulator's workers take turns here so that it reports no race that is not.
            static std::mutex zoneMutex;
            std::lock_guard lock(zoneMutex);
            set = std::mktime(&tm);
        }
        m_clockOffset = set - std::time(nullptr);
        answer = settingDoneFrame(m_machine);
        break;
    }
    case kCommandWhitelistBlock: {
        // Count, then that many 4-byte card numbers; the block is stored as far as it goes.
        const std::size_t count = p.empty() ? 0 : p[0];
        for (std::size_t i = 0; i < count && 1 + 4 * i + 4 <= p.size(); ++i) {
            const std::size_t at = 1 + 4 * i;
            m_whitelist.push_back(static_cast<std::uint32_t>(p[at]) << 24 |
                                  static_cast<std::uint32_t>(p[at + 1]) << 16 |
                                  static_cast<std::uint32_t>(p[at + 2]) << 8 | p[at + 3]);
        }
        answer = settingDoneFrame(m_machine);
        break;
    }
    case kCommandDeleteWhitelist:
        m_whitelist.clear();
        answer = settingDoneFrame(m_machine);
        break;
    case kCommandSetPeriod:
    case kCommandSetAmount:
    case kCommandSetMode:
    case kCommandSetTitle:
    case kCommandSetListMode:
        m_settings[frame.command] = Bytes(p.begin(), p.end());
        answer = settingDoneFrame(m_machine);
        break;
    default:
        ++report.unexpected;
        return;
    }
    ++report.adminFrames;
    if (!m_socket.sendTo(fromAddress, fromPort, answer))
        ++report.sendFailures;
}

void SimulatedTerminal::onTimers(Clock::time_point now, SimulatorReport& report, bool heartbeatsWanted) {
    if (m_busy && now >= m_lastSent + m_options.timeout) {
        if (m_attempts < m_options.attempts) {
            ++m_attempts;
            ++report.resent;
            m_lastSent = now;
            send(m_frame, report);
        } else {
            ++report.lost;
            ++report.kinds[static_cast<std::size_t>(m_kind)].lost;
            m_busy = false;
            // Replies may still be on their way; wait for them as after an answer.
            m_settling = m_replies < m_attempts;
            m_settleUntil = now + settleWindow();
        }
    }
    if (m_settling && now >= m_settleUntil)
        m_settling = false;
    if (heartbeatsWanted && m_options.heartbeat.count() > 0 && now >= m_nextHeartbeat) {
        if (m_heartbeatOutstanding)
            ++report.heartbeatsLost;
        m_heartbeatOutstanding = true;
        m_heartbeatSent = now;
        m_nextHeartbeat = now + m_options.heartbeat;
        ++report.heartbeatsSent;
        send(heartbeatFrame(m_machine), report);
    }
}

SimulatedTerminal::Clock::time_point SimulatedTerminal::nextDeadline(bool heartbeatsWanted) const {
    auto next = Clock::time_point::max();
    if (m_busy)
        next = std::min(next, m_lastSent + m_options.timeout);
    if (m_settling)
        next = std::min(next, m_settleUntil);
    if (heartbeatsWanted && m_options.heartbeat.count() > 0)
        next = std::min(next, m_nextHeartbeat);
    return next;
}

} // namespace vorlanx::tools
