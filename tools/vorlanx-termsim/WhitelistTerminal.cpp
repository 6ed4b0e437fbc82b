#include "tools/vorlanx-termsim/WhitelistTerminal.h"

#include "link/HexText.h"

namespace vorlanx::tools {

namespace {

// Header, machine, length, command "31" and the count byte come before the entries.
constexpr std::size_t kEntriesAt = 16;
constexpr std::size_t kChecksumDigits = 4;
constexpr std::size_t kEntryDigits = 8;

} // namespace

WhitelistTerminal::WhitelistTerminal(const std::string& address) : m_address(address) {
    m_ready = m_socket.open([this](const std::string&, std::uint16_t, std::span<const std::uint8_t> data) {
        const std::string frame = link::bytesToHex(data);
        if (frame.size() < kEntriesAt + kChecksumDigits || frame.substr(12, 2) != "31")
            return;
        const auto arrived = Clock::now();
        const std::size_t count = link::hexToUInt64(frame.substr(14, 2));
        std::lock_guard lock(m_mutex);
        m_frames.push_back(arrived);
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t at = kEntriesAt + kEntryDigits * i;
            if (at + kEntryDigits > frame.size() - kChecksumDigits)
                break;
            m_cards.push_back(std::to_string(link::hexToUInt64(frame.substr(at, kEntryDigits))));
        }
    }) && m_socket.bindPort(address, 0);
}

std::vector<std::string> WhitelistTerminal::cards() const {
    std::lock_guard lock(m_mutex);
    return m_cards;
}

std::vector<WhitelistTerminal::Clock::time_point> WhitelistTerminal::frameTimes() const {
    std::lock_guard lock(m_mutex);
    return m_frames;
}

} // namespace vorlanx::tools
