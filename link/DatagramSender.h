#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vorlanx::link {

// Whatever frames to terminals leave through: the listener endpoint in the service, so that
// terminals always see the listening port as the source.
class DatagramSender {
public:
    virtual ~DatagramSender() = default;

    // One whole datagram; returns the count sent or -1. Safe from any thread.
    virtual int sendDatagram(const std::string& address, std::uint16_t port, std::span<const std::uint8_t> bytes) = 0;
};

} // namespace vorlanx::link
