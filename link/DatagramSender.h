#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vorlanx::link {

// Whatever frames to terminals leave through: the listener endpoint in the service, so that
// terminals always see the listening port as the source.
class DatagramSender {
public:
    virtual ~DatagramSender() = default;

    // One whole datagram; returns the count sent or -1. Safe from any thread.
    virtual int sendDatagram(const std::string& address, std::uint16_t port, std::span<const std::uint8_t> bytes) = 0;

    struct Outgoing {
        std::string address;
        std::uint16_t port = 0;
        std::vector<std::uint8_t> bytes;
    };
    // Several datagrams, each to its own receiver, in order; where the system offers it in one
    // system call. The default sends them one by one.
    virtual void sendDatagrams(std::span<const Outgoing> datagrams) {
        for (const Outgoing& d : datagrams)
            sendDatagram(d.address, d.port, d.bytes);
    }
};

} // namespace vorlanx::link
