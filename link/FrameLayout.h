#pragma once

#include <cstddef>
#include <string_view>

// Fixed pieces of a terminal frame. A frame is handled as upper-case hex text, two digits per
// byte: "FE01" + machine number (4) + length (4) + command (2) + parameters + checksum (4).
namespace vorlanx::link::frame {

inline constexpr std::string_view kHeader = "FE01";

// Field widths in hex digits.
inline constexpr std::size_t kMachineDigits = 4;
inline constexpr std::size_t kLengthDigits = 4;
inline constexpr std::size_t kChecksumDigits = 4;
inline constexpr std::size_t kCountDigits = 2;
inline constexpr std::size_t kEntryDigits = 8;
inline constexpr std::size_t kAmountDigits = 8;

// Command codes, sent by the service.
inline constexpr std::string_view kReadClock = "11";
inline constexpr std::string_view kSetClock = "30";
inline constexpr std::string_view kWhitelistBlock = "31";
inline constexpr std::string_view kDeleteWhitelist = "32";
inline constexpr std::string_view kSetPeriod = "35";
inline constexpr std::string_view kSetAmount = "36";
inline constexpr std::string_view kSetMode = "3B";
inline constexpr std::string_view kSetTitle = "48";
inline constexpr std::string_view kSetListMode = "49";
inline constexpr std::string_view kReadCount = "51";
inline constexpr std::string_view kAcknowledge = "81";
inline constexpr std::string_view kCardReply = "63";
inline constexpr std::string_view kOfflineAcknowledge = "77";

// Command codes and kinds that terminals send.
inline constexpr std::string_view kSettingDone = "81";
inline constexpr std::string_view kCardTransaction = "63";
inline constexpr std::string_view kOfflineRecord = "76";
inline constexpr std::string_view kKindCardQuery = "06";
inline constexpr std::string_view kKindPayment = "00";

// Length fields (bytes of command and parameters) that do not depend on the content. The title
// keeps its length whatever the title's byte count: terminals expect 16 bytes.
inline constexpr std::string_view kLengthNoParameters = "0001";
inline constexpr std::string_view kLengthOneByte = "0002";
inline constexpr std::string_view kLengthAmount = "0006";
inline constexpr std::string_view kLengthClock = "0009";
inline constexpr std::string_view kLengthPeriod = "0009";
inline constexpr std::string_view kLengthTitle = "0011";
inline constexpr std::string_view kLengthCardReply = "0044";

// Keys that classify a received frame: length + command (+ first parameter byte).
inline constexpr std::string_view kAcknowledgeRequestKey = "00057400";
inline constexpr std::string_view kCountReplyKey = "000551";
inline constexpr std::string_view kClockReplyKey = "000911";

// Result field of the "63" reply: this prefix, then the procedure's result text.
inline constexpr std::string_view kCardQueryResultPrefix = "01010";
inline constexpr std::string_view kOnlinePaymentResultPrefix = "0101";

// Parameter codes of the meal periods: the period frame names a period, the amount frame a meal.
inline constexpr std::string_view kPeriodBreakfast = "4100";
inline constexpr std::string_view kPeriodLunch = "4200";
inline constexpr std::string_view kPeriodDinner = "4300";
inline constexpr std::string_view kPeriodNightSnack = "4400";
inline constexpr std::string_view kMealBreakfast = "41";
inline constexpr std::string_view kMealLunch = "43";
inline constexpr std::string_view kMealDinner = "45";
inline constexpr std::string_view kMealNightSnack = "47";

// A slice of the frame text: 1-based start position and length in hex digits.
struct Slice {
    std::size_t start;
    std::size_t length;
};

inline constexpr Slice kHeaderAndMachine{1, 8};
inline constexpr Slice kMachine{5, 4};
inline constexpr Slice kAcknowledgeKey{9, 8};
inline constexpr Slice kReplyKey{9, 6};
inline constexpr Slice kCommand{13, 2};
inline constexpr Slice kCardNumber{15, 8};
inline constexpr Slice kCount{15, 8};
inline constexpr Slice kTerminalClock{15, 16};
inline constexpr Slice kKind{23, 2};
inline constexpr Slice kPaymentAmount{25, 8};
inline constexpr Slice kRecordTime{25, 12};
inline constexpr Slice kOfflineAmount{37, 8};

} // namespace vorlanx::link::frame
