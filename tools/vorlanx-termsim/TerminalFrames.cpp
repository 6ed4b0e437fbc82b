#include "tools/vorlanx-termsim/TerminalFrames.h"

#include "link/FrameChecksum.h"
#include "link/HexText.h"

namespace vorlanx::tools {

namespace {

void appendBigEndian(Bytes& out, std::uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

} // namespace

Bytes terminalFrame(std::uint16_t machine, std::uint8_t command, std::span<const std::uint8_t> parameters) {
    Bytes frame{0xFE, 0x01};
    appendBigEndian(frame, machine, 2);
    appendBigEndian(frame, static_cast<std::uint32_t>(parameters.size() + 1), 2);
    frame.push_back(command);
    frame.insert(frame.end(), parameters.begin(), parameters.end());
    const std::uint16_t crc = link::crc16Modbus(std::span(frame).subspan(2));
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFFU));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

Bytes cardQueryFrame(std::uint16_t machine, std::uint32_t card) {
    Bytes p;
    appendBigEndian(p, card, 4);
    p.push_back(kKindCardQuery);
    return terminalFrame(machine, kCommandCardTransaction, p);
}

Bytes onlinePaymentFrame(std::uint16_t machine, std::uint32_t card, std::uint32_t amountFen) {
    Bytes p;
    appendBigEndian(p, card, 4);
    p.push_back(kKindPayment);
    appendBigEndian(p, amountFen, 4);
    return terminalFrame(machine, kCommandCardTransaction, p);
}

Bytes offlineUploadFrame(std::uint16_t machine, std::uint32_t card, const std::string& recordTime,
                         std::uint32_t amountFen) {
    Bytes p;
    appendBigEndian(p, card, 4);
    p.push_back(kKindPayment);
    const Bytes time = bcdBytes(recordTime);
    p.insert(p.end(), time.begin(), time.end());
    appendBigEndian(p, amountFen, 4);
    return terminalFrame(machine, kCommandOfflineRecord, p);
}

Bytes heartbeatFrame(std::uint16_t machine) {
    // First byte 00 asks for the acknowledgement; the three after it are the terminal's status
    // (nothing to report here).
    const std::uint8_t p[] = {0x00, 0x00, 0x00, 0x00};
    return terminalFrame(machine, kCommandHeartbeat, p);
}

Bytes settingDoneFrame(std::uint16_t machine) {
    return terminalFrame(machine, kCommandAcknowledge, {});
}

Bytes clockAnswerFrame(std::uint16_t machine, const std::string& clockCode) {
    return terminalFrame(machine, kCommandReadClock, bcdBytes(clockCode));
}

Bytes countAnswerFrame(std::uint16_t machine, std::uint32_t count) {
    Bytes p;
    appendBigEndian(p, count, 4);
    return terminalFrame(machine, kCommandReadCount, p);
}

ReceivedFrame readFrame(std::span<const std::uint8_t> datagram) {
    ReceivedFrame f;
    const std::size_t n = datagram.size();
    if (n < kFrameOverhead + 1 || datagram[0] != 0xFE || datagram[1] != 0x01)
        return f;
    const std::uint16_t crc = link::crc16Modbus(datagram.subspan(2, n - 4));
    if (datagram[n - 2] != (crc & 0xFFU) || datagram[n - 1] != (crc >> 8))
        return f;
    f.valid = true;
    f.machine = static_cast<std::uint16_t>(datagram[2] << 8 | datagram[3]);
    f.length = static_cast<std::uint16_t>(datagram[4] << 8 | datagram[5]);
    f.lengthMatches = f.length == n - kFrameOverhead;
    f.command = datagram[6];
    f.parameters = datagram.subspan(7, n - 9);
    return f;
}

std::optional<std::string> cardReplyResult(std::span<const std::uint8_t> parameters) {
    if (parameters.size() < kDisplayBytes)
        return std::nullopt;
    return link::bytesToHex(parameters.subspan(kDisplayBytes));
}

Bytes bcdBytes(const std::string& digits) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        auto digit = [](char c) { return c >= '0' && c <= '9' ? static_cast<unsigned>(c - '0') : 0U; };
        out.push_back(static_cast<std::uint8_t>(digit(digits[i]) << 4 | digit(digits[i + 1])));
    }
    return out;
}

std::string bcdDigits(std::span<const std::uint8_t> bytes) {
    return link::bytesToHex(bytes);
}

} // namespace vorlanx::tools
