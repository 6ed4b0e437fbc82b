#pragma once

#include <string>
#include <string_view>

// One builder per frame the service sends. Each returns the frame as hex text; it becomes bytes
// (hexToBytes) only when it is sent. Administration frames take the machine number as the
// decimal text the operator typed; replies take the machine field exactly as it was received.
namespace vorlanx::link {

enum class Meal { Breakfast, Lunch, Dinner, NightSnack };
enum class ConsumptionMode { Fixed, Manual, Menu, Download };
enum class CardList { White, Black };

// The 4-digit machine field of a decimal machine number (wider above 65535, never cut).
std::string machineField(std::string_view machineDecimal);

// "FE01" + machine field + length + command + parameters + checksum of everything after "FE01".
std::string buildFrame(std::string_view machineHex, std::string_view length, std::string_view command,
                       std::string_view parameters);

std::string readClockFrame(std::string_view machineDecimal);
// clockCode: the 16-digit clock code of ClockTexts (date, weekday code, time).
std::string setClockFrame(std::string_view machineDecimal, std::string_view clockCode);

// One white-list entry: the decimal card number as 8 hex digits. "00000000" means no card.
std::string whitelistEntry(std::string_view cardDecimal);
// entries: the 8-digit entries of one block, joined; count and length follow from them.
std::string whitelistBlockFrame(std::string_view machineDecimal, std::string_view entries);
std::string deleteWhitelistFrame(std::string_view machineDecimal);

// Times as the period fields show them, HH:MM:SS; the colons are dropped.
std::string periodFrame(std::string_view machineDecimal, Meal period, std::string_view startTime,
                        std::string_view endTime);
std::string amountFrame(std::string_view machineDecimal, Meal meal, std::string_view amountFenDecimal);
std::string modeFrame(std::string_view machineDecimal, ConsumptionMode mode);
// titleGbk: the title's GBK bytes, sent unchanged (neither cut nor filled).
std::string titleFrame(std::string_view machineDecimal, std::string_view titleGbk);
std::string listModeFrame(std::string_view machineDecimal, CardList list);
std::string readCountFrame(std::string_view machineDecimal);

// Answer to a "74" frame: its first 8 hex digits (header and machine field) are copied.
std::string acknowledgementFrame(std::string_view receivedHeaderAndMachine);
// Answer to a card query or an online payment: payload = four display fields + result field.
std::string cardReplyFrame(std::string_view machineHex, std::string_view payload);
std::string offlineAcknowledgementFrame(std::string_view machineHex);

} // namespace vorlanx::link
