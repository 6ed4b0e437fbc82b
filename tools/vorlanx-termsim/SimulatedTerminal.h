#pragma once

#include "tools/vorlanx-termsim/SimulatorOptions.h"
#include "tools/vorlanx-termsim/SimulatorReport.h"
#include "tools/vorlanx-termsim/TerminalFrames.h"
#include "tools/vorlanx-termsim/TerminalSocket.h"

#include <chrono>
#include <cstdint>
#include <ctime>
#include <map>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace vorlanx::tools {

// One canteen terminal: its own socket and machine number, at most one card transaction
// outstanding, a resend when the service stays silent, a keep-alive every few seconds, and
// answers to the administration frames as a terminal gives them (its clock, its white-list
// count, "81" for every setting it stores).
class SimulatedTerminal {
public:
    using Clock = std::chrono::steady_clock;

    SimulatedTerminal(const SimulatorOptions& options, std::uint16_t machine, std::uint32_t serviceAddress,
                      Clock::time_point firstHeartbeat);

    // Binds the terminal's socket; false with the reason in error().
    bool bind(const std::string& address);
    const std::string& error() const { return m_socket.error(); }
    const TerminalSocket& socket() const { return m_socket; }
    std::uint16_t machine() const { return m_machine; }

    // Free for the next request: nothing outstanding and no late replies awaited.
    bool idle() const { return !m_busy && !m_settling; }
    // Starts one request; latency counts from origin (the moment it was due).
    void start(RequestKind kind, std::uint32_t card, std::uint32_t amountFen, Clock::time_point origin,
               Clock::time_point now, SimulatorReport& report);
    void sendGarbage(const Bytes& datagram, SimulatorReport& report);
    void sendSettingDone(SimulatorReport& report);
    // Reads every datagram waiting on the socket.
    void receiveAll(Clock::time_point now, SimulatorReport& report, std::mt19937_64& random);
    // Resends, gives up, ends the wait for late replies, sends the keep-alive.
    void onTimers(Clock::time_point now, SimulatorReport& report, bool heartbeatsWanted);
    Clock::time_point nextDeadline(bool heartbeatsWanted) const;

    std::size_t whitelistSize() const { return m_whitelist.size(); }

private:
    void handle(std::span<const std::uint8_t> datagram, std::uint32_t fromAddress, std::uint16_t fromPort,
                Clock::time_point now, SimulatorReport& report, std::mt19937_64& random);
    void handleReply(const ReceivedFrame& frame, Clock::time_point now, SimulatorReport& report,
                     std::mt19937_64& random);
    void answerAdministration(const ReceivedFrame& frame, std::uint32_t fromAddress, std::uint16_t fromPort,
                              SimulatorReport& report);
    void send(const Bytes& bytes, SimulatorReport& report);
    void finishRequest(Clock::time_point now);
    std::chrono::milliseconds settleWindow() const;
    std::string nextRecordTime();
    std::string clockCode() const;

    const SimulatorOptions& m_options;
    std::uint16_t m_machine;
    std::uint32_t m_serviceAddress;
    TerminalSocket m_socket;
    std::vector<std::uint8_t> m_buffer;

    // The outstanding request.
    bool m_busy = false;
    RequestKind m_kind = RequestKind::CardQuery;
    std::uint32_t m_card = 0;
    std::uint32_t m_amount = 0;
    std::string m_recordTime;
    Bytes m_frame;
    Clock::time_point m_origin;
    Clock::time_point m_lastSent;
    int m_attempts = 0;
    int m_replies = 0;

    // After a request sent more than once is settled, its other replies may still come; the
    // terminal waits for them before the next request so that none is taken for the next answer.
    bool m_settling = false;
    Clock::time_point m_settleUntil;

    Clock::time_point m_nextHeartbeat;
    bool m_heartbeatOutstanding = false;
    Clock::time_point m_heartbeatSent;

    // What the service has set on this terminal.
    std::vector<std::uint32_t> m_whitelist;
    std::map<std::uint8_t, Bytes> m_settings;
    std::time_t m_clockOffset = 0;
    // Offline records carry the terminal's own time; each record gets a second of its own so
    // that two different records are never taken for one.
    std::time_t m_recordClock;
};

} // namespace vorlanx::tools
