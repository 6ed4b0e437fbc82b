#pragma once

#include "link/AddressFilter.h"
#include "link/DatagramSender.h"
#include "link/DispatchSink.h"
#include "link/Peer.h"
#include "link/ResultBox.h"
#include "link/TerminalTable.h"
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

// The receive handler of the listener endpoint: lists the terminal, logs the datagram and acts
// on what stands at the fixed positions of its hex text. Header, length and checksum are never
// checked; a frame is whatever its slices say. It keeps no state of its own between datagrams.
// The frame is read from its bytes; text of it is made only for a log that shows it.
class FrameDispatcher {
public:
    // Local time for the client entries; injectable so that entries can be compared exactly.
    using Clock = std::function<std::tm()>;

    // jobs may be null: card transactions are then only logged. All references must outlive
    // the dispatcher and be safe to use from the receive worker.
    FrameDispatcher(DatagramSender& sender, TerminalTable& terminals, ResultBox& results, DispatchSink& sink,
                    TransactionJobs* jobs = nullptr, Clock clock = {});

    // The datagrams of one receive, in order; the transactions they start that are run together
    // (card queries answered in place) are run when the last has been dispatched.
    void dispatchBatch(std::span<const UdpEndpoint::Datagram> batch);
    // A batch of one.
    void dispatchDatagram(const Peer& from, std::span<const std::uint8_t> data);
    // The same for a sender given as dotted text; other text is ignored.
    void dispatchDatagram(const std::string& address, std::uint16_t port, std::span<const std::uint8_t> data);

    // The handler to give to UdpEndpoint::openForBatches; it calls dispatchBatch.
    UdpEndpoint::BatchHandler handler();

    // The senders served; datagrams from others are only logged, as refused. Null or an empty
    // filter serves everyone. Safe to change while listening.
    void setAddressFilter(std::shared_ptr<const AddressFilter> filter);

private:
    class Source;
    void dispatchOne(const Peer& from, std::span<const std::uint8_t> data);
    void updateTerminalList(const TerminalTable::Update& update, Source& source, const std::string& machine);
    void appendResult(const Peer& from, const std::string& line, bool recount);
    std::shared_ptr<const AddressFilter> addressFilter() const;

    DatagramSender& m_sender;
    TerminalTable& m_terminals;
    ResultBox& m_results;
    DispatchSink& m_sink;
    TransactionJobs* m_jobs;
    Clock m_clock;
    mutable std::mutex m_filterMutex;
    std::shared_ptr<const AddressFilter> m_filter;
};

} // namespace vorlanx::link
