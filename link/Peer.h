#pragma once

#include <cstdint>
#include <string>

namespace vorlanx::link {

// The sender of a datagram as the socket gave it: the IPv4 address as a number (host order) and
// the port. The dotted text is made only where someone shows or sends to it.
struct Peer {
    std::uint32_t address = 0;
    std::uint16_t port = 0;

    std::string addressText() const;
    bool operator==(const Peer&) const = default;
};

} // namespace vorlanx::link
