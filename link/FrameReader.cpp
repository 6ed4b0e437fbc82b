#include "link/FrameReader.h"

#include "link/HexText.h"

#include <utility>

namespace vorlanx::link {

FrameReader::FrameReader(std::string frameText) : m_text(std::move(frameText)) {}

FrameReader::FrameReader(std::span<const std::uint8_t> datagram) : m_text(bytesToHex(datagram)) {}

std::string_view FrameReader::slice(frame::Slice s) const {
    const std::string_view all(m_text);
    const std::size_t start = s.start - 1;
    if (start >= all.size())
        return {};
    return all.substr(start, s.length);
}

} // namespace vorlanx::link
