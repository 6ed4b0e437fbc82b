#pragma once

#include "tools/vorlanx-termsim/TerminalFrames.h"

#include <cstdint>
#include <random>

namespace vorlanx::tools {

// Datagrams that no sane terminal sends: random bytes of any length up to the service's 4096,
// frames cut short, real headers with absurd length fields and unknown commands. None of them
// is a card transaction or a keep-alive, so none of them may change a balance or draw a reply.
class HostileDatagrams {
public:
    static constexpr std::size_t kMaxLength = 4096;

    explicit HostileDatagrams(std::uint64_t seed) : m_random(seed) {}

    Bytes next(std::uint16_t machine);

private:
    Bytes randomBytes(std::size_t length);
    // Keeps a hostile datagram from reading as a transaction or a keep-alive at the fixed
    // positions the service looks at.
    static void defuse(Bytes& datagram);

    std::mt19937_64 m_random;
};

} // namespace vorlanx::tools
