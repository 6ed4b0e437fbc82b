#pragma once

#include "link/HexText.h"
#include "link/UdpEndpoint.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vorlanx::test {

// What a terminal receives on its own socket, as hex text, in arrival order.
class TerminalInbox {
public:
    link::UdpEndpoint::Handler handler() {
        return [this](const std::string&, std::uint16_t, std::span<const std::uint8_t> data) {
            std::lock_guard lock(m_mutex);
            m_frames.push_back(link::bytesToHex(data));
            m_cv.notify_all();
        };
    }
    // The next frame not yet taken, waiting at most limit for it.
    std::optional<std::string> next(std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        std::unique_lock lock(m_mutex);
        if (!m_cv.wait_for(lock, limit, [&] { return m_taken < m_frames.size(); }))
            return std::nullopt;
        return m_frames[m_taken++];
    }
    std::size_t size() {
        std::lock_guard lock(m_mutex);
        return m_frames.size();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<std::string> m_frames;
    std::size_t m_taken = 0;
};

// A terminal as the service sees one: a real UDP socket on a loopback address of its own, sending
// frames written as hex text and keeping what comes back.
struct FakeTerminal {
    explicit FakeTerminal(const std::string& bindAddress = "127.0.0.1") : address(bindAddress) {
        ready = socket.open(inbox.handler()) && socket.bindPort(bindAddress, 0);
        port = socket.localPort();
    }
    void send(std::uint16_t to, const std::string& hex) { socket.sendDatagram("127.0.0.1", to, link::hexToBytes(hex)); }

    std::string address;
    TerminalInbox inbox;
    link::UdpEndpoint socket;
    std::uint16_t port = 0;
    bool ready = false;
};

// A port that was free a moment ago on every local address: bind port 0, read it, release it.
inline std::uint16_t freeUdpPort() {
    link::UdpEndpoint probe;
    if (!probe.open({}) || !probe.bindPort("", 0))
        return 0;
    return probe.localPort();
}

} // namespace vorlanx::test
