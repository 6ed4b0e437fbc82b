#include "tools/vorlanx-termsim/HostileDatagrams.h"

namespace vorlanx::tools {

Bytes HostileDatagrams::randomBytes(std::size_t length) {
    Bytes out(length);
    for (auto& b : out)
        b = static_cast<std::uint8_t>(m_random());
    return out;
}

void HostileDatagrams::defuse(Bytes& d) {
    if (d.size() >= 7 && (d[6] == kCommandCardTransaction || d[6] == kCommandOfflineRecord))
        d[6] = static_cast<std::uint8_t>(d[6] ^ 0x80U);
    if (d.size() >= 8 && d[4] == 0x00 && d[5] == 0x05 && d[6] == kCommandHeartbeat && d[7] == 0x00)
        d[7] = 0x01;
}

Bytes HostileDatagrams::next(std::uint16_t machine) {
    Bytes d;
    switch (m_random() % 5) {
    case 0: // any bytes, any length
        d = randomBytes(m_random() % (kMaxLength + 1));
        break;
    case 1: { // a transaction cut before its kind byte: header, machine, part of the rest
        const Bytes whole = m_random() % 2 == 0
                                ? cardQueryFrame(machine, static_cast<std::uint32_t>(m_random()))
                                : onlinePaymentFrame(machine, static_cast<std::uint32_t>(m_random()), 1);
        d.assign(whole.begin(), whole.begin() + static_cast<long>(m_random() % 12));
        break;
    }
    case 2: { // a real header with an absurd length field and random parameters
        d = {0xFE, 0x01, static_cast<std::uint8_t>(machine >> 8), static_cast<std::uint8_t>(machine)};
        const std::uint16_t lengths[] = {0x0000, 0xFFFF, 0x8000, 0x1000, static_cast<std::uint16_t>(m_random())};
        const std::uint16_t length = lengths[m_random() % 5];
        d.push_back(static_cast<std::uint8_t>(length >> 8));
        d.push_back(static_cast<std::uint8_t>(length));
        const Bytes rest = randomBytes(m_random() % 64);
        d.insert(d.end(), rest.begin(), rest.end());
        break;
    }
    case 3: { // a well-formed frame with a command no terminal sends
        const Bytes p = randomBytes(m_random() % 32);
        d = terminalFrame(machine, static_cast<std::uint8_t>(0xA0 + m_random() % 0x50), p);
        break;
    }
    default: { // a long frame of blanks and digits, as a broken display line would look
        d = randomBytes(64 + m_random() % 1024);
        for (auto& b : d)
            b = static_cast<std::uint8_t>(b % 2 == 0 ? 0x20 : '0' + b % 10);
        break;
    }
    }
    defuse(d);
    return d;
}

} // namespace vorlanx::tools
