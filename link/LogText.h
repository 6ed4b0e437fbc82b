#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <string_view>

namespace vorlanx::link {

// Every line of the activity log and of the result box ends with this.
inline constexpr std::string_view kLineEnd = "\r\n";

// Date-time text of log entries, e.g. 2020年5月8日10时5分3秒; trailing zero parts are left out
// (10:05:00 gives 10时5分, 14:00:00 gives 14时, midnight gives the date alone).
std::string dateTimeText(const std::tm& local);

// One client entry of the activity log, three lines:
// date-time text, "[客户]" address:port, "[数据]" upper-case hex of the datagram.
std::string clientEntry(const std::tm& local, std::string_view address, std::uint16_t port,
                        std::span<const std::uint8_t> data);

// The same entry for a datagram already turned into hex text, with its port as decimal text.
std::string clientEntryText(const std::tm& local, std::string_view address, std::string_view portText,
                            std::string_view frameText);

// The entry of a datagram from a sender the service does not serve: "[拒绝]" in place of "[客户]".
std::string refusedEntryText(const std::tm& local, std::string_view address, std::string_view portText,
                             std::string_view frameText);

// Number of pieces of a text split at every CRLF: each CRLF ends one piece (empty pieces
// between adjacent CRLFs count), and a non-empty tail after the last CRLF is one more.
std::size_t countLinePieces(std::string_view text);

// The log holds at most this many pieces; the log timer empties it beyond that.
inline constexpr std::size_t kLogPieceLimit = 20;

} // namespace vorlanx::link
