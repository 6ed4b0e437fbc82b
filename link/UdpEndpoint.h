#pragma once

#include "link/DatagramSender.h"
#include "link/Peer.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <shared_mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace vorlanx::link {

// One IPv4 UDP socket with its receive worker. The service keeps one of these, the listener
// endpoint, for its whole life: every datagram from a terminal arrives through it and every
// frame to a terminal leaves through it, so terminals always see the listening port as source.
class UdpEndpoint : public DatagramSender {
public:
    using Handler =
        std::function<void(const std::string& address, std::uint16_t port, std::span<const std::uint8_t> data)>;
    // Datagrams as the worker took them from the socket, in arrival order, with their senders as
    // numbers: for a receiver that makes text of a sender only when needed, and that does the work
    // of several datagrams at once (one database transaction, one send call for the replies).
    struct Datagram {
        Peer from;
        std::span<const std::uint8_t> bytes;
    };
    using BatchHandler = std::function<void(std::span<const Datagram> batch)>;

    // Largest datagram that is delivered; a longer one is dropped without a message.
    static constexpr std::size_t kMaxDatagram = 4096;
    // Asked of the OS so that a burst from a few hundred terminals queues instead of dropping.
    static constexpr int kSocketBufferBytes = 4 * 1024 * 1024;
    // Datagrams taken from the socket in one system call where the system offers it (recvmmsg on
    // Linux): under load a call brings whatever has queued, up to this many; when idle it waits
    // for the first as a plain receive does.
    static constexpr unsigned kReceiveBatch = 32;

#ifdef _WIN32
    using SocketHandle = std::uintptr_t;
#else
    using SocketHandle = int;
#endif

    UdpEndpoint();
    ~UdpEndpoint() override;
    UdpEndpoint(const UdpEndpoint&) = delete;
    UdpEndpoint& operator=(const UdpEndpoint&) = delete;

    // Creates the socket and starts the receive worker, which hands every datagram to the
    // handler on its own thread, in arrival order. An endpoint that is open is closed first.
    bool open(Handler handler);
    // The same, handing over the datagrams of each receive together (one at a time where the
    // system has no batch call).
    bool openForBatches(BatchHandler handler);
    // Whether the receive worker takes several datagrams per system call where it can (the
    // default). Off, it takes one per call, as on systems without the batch call. For the next open.
    void setBatchReceive(bool on) {
        m_batchReceive = on;
    }
    // Whether the worker of the last open takes batches.
    bool receivesInBatches() const {
        return m_batching.load();
    }
    // Binds the socket; an empty address means every local address.
    bool bindPort(const std::string& address, std::uint16_t port);
    // One whole datagram; returns the count sent or -1. Safe from any thread.
    int sendDatagram(const std::string& address, std::uint16_t port, std::span<const std::uint8_t> bytes) override;
    // In one system call where the system offers it (sendmmsg on Linux). Safe from any thread.
    void sendDatagrams(std::span<const Outgoing> datagrams) override;
    // Ends the worker (joined here) and takes no more datagrams; the socket stays open, so that
    // answers to what was taken can still leave from the listening port.
    void stopReceiving();
    // Ends the worker (joined here) and closes the socket. True when an open endpoint was closed.
    bool close();

    bool isOpen() const;
    // Port the socket is bound to (useful after binding port 0), 0 when not bound.
    std::uint16_t localPort() const;
    // When the receive worker last went round its loop. It wakes at least every receive timeout
    // (200 ms) even when no terminal sends, so an old time means a worker stuck in a handler.
    std::chrono::steady_clock::time_point lastReceiveRound() const;

private:
    struct ReceiveBatch;
    void receiveLoop(SocketHandle socket, BatchHandler handler, bool batching);
    // Takes one batch and hands it over; false when the system has no batch call.
    bool receiveBatch(SocketHandle socket, const BatchHandler& handler, ReceiveBatch& batch);
    void receiveOne(SocketHandle socket, const BatchHandler& handler, std::vector<std::uint8_t>& buffer);

    mutable std::shared_mutex m_socketMutex; // senders share it, close takes it alone
    SocketHandle m_socket;
    bool m_layerStarted = false;
    std::atomic<bool> m_stop{false};
    bool m_batchReceive = true;
    std::atomic<bool> m_batching{false};
    std::atomic<std::chrono::steady_clock::rep> m_lastRound{0};
    std::thread m_worker;
    std::mutex m_lifecycleMutex; // open and close never run at once
};

} // namespace vorlanx::link
