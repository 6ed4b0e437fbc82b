#pragma once

#include "link/DatagramSender.h"

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

namespace vorlanx::link {

// One IPv4 UDP socket with its receive worker. The service keeps one of these, the listener
// endpoint, for its whole life: every datagram from a terminal arrives through it and every
// frame to a terminal leaves through it, so terminals always see the listening port as source.
class UdpEndpoint : public DatagramSender {
public:
    using Handler =
        std::function<void(const std::string& address, std::uint16_t port, std::span<const std::uint8_t> data)>;

    // Largest datagram that is delivered; a longer one is dropped without a message.
    static constexpr std::size_t kMaxDatagram = 4096;
    // Asked of the OS so that a burst from a few hundred terminals queues instead of dropping.
    static constexpr int kSocketBufferBytes = 4 * 1024 * 1024;

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
    // Binds the socket; an empty address means every local address.
    bool bindPort(const std::string& address, std::uint16_t port);
    // One whole datagram; returns the count sent or -1. Safe from any thread.
    int sendDatagram(const std::string& address, std::uint16_t port, std::span<const std::uint8_t> bytes) override;
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
    void receiveLoop(SocketHandle socket, Handler handler);

    mutable std::shared_mutex m_socketMutex; // senders share it, close takes it alone
    SocketHandle m_socket;
    bool m_layerStarted = false;
    std::atomic<bool> m_stop{false};
    std::atomic<std::chrono::steady_clock::rep> m_lastRound{0};
    std::thread m_worker;
    std::mutex m_lifecycleMutex; // open and close never run at once
};

} // namespace vorlanx::link
