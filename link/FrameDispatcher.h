#pragma once

#include "link/AddressFilter.h"
#include "link/DatagramSender.h"
#include "link/DispatchSink.h"
#include "link/OnlineTerminals.h"
#include "link/ResultBox.h"
#include "link/TerminalHealth.h"
#include "link/TransactionJobs.h"
#include "link/UdpEndpoint.h"

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>

namespace vorlanx::link {

class FrameReader;

// The receive handler of the listener endpoint: lists the terminal, logs the datagram and acts
// on what stands at the fixed positions of its hex text. Header, length and checksum are never
// checked; a frame is whatever its slices say. It keeps no state of its own between datagrams.
class FrameDispatcher {
public:
    // Local time for the client entries; injectable so that entries can be compared exactly.
    using Clock = std::function<std::tm()>;

    // jobs may be null: card transactions are then only logged. All references must outlive
    // the dispatcher and be safe to use from the receive worker.
    FrameDispatcher(DatagramSender& sender, OnlineTerminals& terminals, ResultBox& results, DispatchSink& sink,
                    TransactionJobs* jobs = nullptr, Clock clock = {});

    void dispatchDatagram(const std::string& address, std::uint16_t port, std::span<const std::uint8_t> data);

    // The handler to give to UdpEndpoint::open; it calls dispatchDatagram.
    UdpEndpoint::Handler handler();

    // Where every datagram is counted per terminal; null counts nothing.
    void setTerminalHealth(TerminalHealth* health) { m_health.store(health); }
    // The senders served; datagrams from others are only logged, as refused. Null or an empty
    // filter serves everyone. Safe to change while listening.
    void setAddressFilter(std::shared_ptr<const AddressFilter> filter);

private:
    void updateTerminalList(const std::string& address, const std::string& portText, const std::string& machine);
    void appendResult(const std::string& address, const std::string& line, bool recount);
    std::shared_ptr<const AddressFilter> addressFilter() const;

    DatagramSender& m_sender;
    OnlineTerminals& m_terminals;
    ResultBox& m_results;
    DispatchSink& m_sink;
    TransactionJobs* m_jobs;
    Clock m_clock;
    std::atomic<TerminalHealth*> m_health{nullptr};
    mutable std::mutex m_filterMutex;
    std::shared_ptr<const AddressFilter> m_filter;
};

} // namespace vorlanx::link
