#pragma once

#include "link/UdpEndpoint.h"

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace vorlanx::tools {

// A terminal that only stores the white list the service downloads to it: the cards of every
// block frame in the order they came, and when each frame arrived. Enough to check a download to
// hundreds of terminals without their keep-alives and transactions.
class WhitelistTerminal {
public:
    using Clock = std::chrono::steady_clock;

    explicit WhitelistTerminal(const std::string& address);

    bool ready() const { return m_ready; }
    const std::string& address() const { return m_address; }
    std::uint16_t port() const { return m_socket.localPort(); }

    std::vector<std::string> cards() const;
    std::vector<Clock::time_point> frameTimes() const;

private:
    std::string m_address;
    link::UdpEndpoint m_socket;
    bool m_ready = false;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_cards;
    std::vector<Clock::time_point> m_frames;
};

} // namespace vorlanx::tools
