#include "link/Peer.h"

#include <charconv>

namespace vorlanx::link {

std::string Peer::addressText() const {
    char text[16];
    char* at = text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        at = std::to_chars(at, text + sizeof text, (address >> shift) & 0xFFU).ptr;
        if (shift > 0)
            *at++ = '.';
    }
    return std::string(text, at);
}

} // namespace vorlanx::link
