#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace vorlanx::tools {

// One non-blocking IPv4 UDP socket of a simulated terminal (or of the echo server). Many of them
// are waited on together with waitReadable, so a handful of threads can drive hundreds of
// terminals, each with its own address and port as on a real canteen network.
class TerminalSocket {
public:
#ifdef _WIN32
    using Handle = std::uintptr_t;
#else
    using Handle = int;
#endif

    TerminalSocket() = default;
    ~TerminalSocket();
    TerminalSocket(const TerminalSocket&) = delete;
    TerminalSocket& operator=(const TerminalSocket&) = delete;
    TerminalSocket(TerminalSocket&& other) noexcept;
    TerminalSocket& operator=(TerminalSocket&& other) noexcept;

    // Opens and binds the socket; port 0 takes any free port. False with error() set on failure.
    bool bind(const std::string& address, std::uint16_t port);
    bool isOpen() const;
    std::uint16_t localPort() const;
    const std::string& error() const {
        return m_error;
    }

    // One datagram to address:port; false when the system refused it (a full buffer included).
    bool sendTo(std::uint32_t addressNetworkOrder, std::uint16_t port, std::span<const std::uint8_t> bytes);
    // One waiting datagram into buffer: its size (0 for an empty datagram), or -1 when none waits.
    // The sender's address (network order) and port are written when the pointers are given.
    long receive(std::span<std::uint8_t> buffer, std::uint32_t* fromAddress = nullptr,
                 std::uint16_t* fromPort = nullptr);

    Handle handle() const {
        return m_handle;
    }

    // Address text to the 32-bit network-order form; false when the text is not an IPv4 address.
    static bool parseAddress(const std::string& text, std::uint32_t& networkOrder);
    static std::string addressText(std::uint32_t networkOrder);

private:
    void close();

    Handle m_handle = kInvalid;
    std::string m_error;

#ifdef _WIN32
    static constexpr Handle kInvalid = ~Handle{0};
#else
    static constexpr Handle kInvalid = -1;
#endif
};

// Waits until one of the sockets can be read or the time-out (microseconds) passes. ready[i] is
// set for each readable socket. Returns the number of readable sockets, 0 on time-out.
int waitReadable(std::span<const TerminalSocket* const> sockets, std::span<bool> ready, long timeoutMicros);

} // namespace vorlanx::tools
