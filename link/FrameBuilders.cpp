#include "link/FrameBuilders.h"

#include "link/FrameChecksum.h"
#include "link/FrameLayout.h"
#include "link/HexText.h"

#include <algorithm>
#include <cstdint>
#include <span>

namespace vorlanx::link {

namespace {

std::string hexField(std::string_view decimal, std::size_t width) {
    return zeroFill(convertBase(decimal, 10, 16), width);
}

std::string hexField(std::size_t value, std::size_t width) {
    return hexField(std::to_string(value), width);
}

std::string withoutColons(std::string_view time) {
    std::string out;
    for (char c : time) {
        if (c != ':')
            out.push_back(c);
    }
    return out;
}

std::string_view periodCode(Meal period) {
    switch (period) {
    case Meal::Breakfast:
        return frame::kPeriodBreakfast;
    case Meal::Lunch:
        return frame::kPeriodLunch;
    case Meal::Dinner:
        return frame::kPeriodDinner;
    case Meal::NightSnack:
        return frame::kPeriodNightSnack;
    }
    return frame::kPeriodBreakfast;
}

std::string_view mealCode(Meal meal) {
    switch (meal) {
    case Meal::Breakfast:
        return frame::kMealBreakfast;
    case Meal::Lunch:
        return frame::kMealLunch;
    case Meal::Dinner:
        return frame::kMealDinner;
    case Meal::NightSnack:
        return frame::kMealNightSnack;
    }
    return frame::kMealBreakfast;
}

std::string simpleFrame(std::string_view machineDecimal, std::string_view command) {
    return buildFrame(machineField(machineDecimal), frame::kLengthNoParameters, command, {});
}

} // namespace

std::string machineField(std::string_view machineDecimal) {
    return hexField(machineDecimal, frame::kMachineDigits);
}

std::string buildFrame(std::string_view machineHex, std::string_view length, std::string_view command,
                       std::string_view parameters) {
    std::string body;
    body.reserve(machineHex.size() + length.size() + command.size() + parameters.size());
    body += machineHex;
    body += length;
    body += command;
    body += parameters;
    std::string out(frame::kHeader);
    out += body;
    out += frameChecksum(body);
    return out;
}

std::string readClockFrame(std::string_view machineDecimal) {
    return simpleFrame(machineDecimal, frame::kReadClock);
}

std::string setClockFrame(std::string_view machineDecimal, std::string_view clockCode) {
    return buildFrame(machineField(machineDecimal), frame::kLengthClock, frame::kSetClock, clockCode);
}

std::string whitelistEntry(std::string_view cardDecimal) {
    return hexField(cardDecimal, frame::kEntryDigits);
}

std::string whitelistBlockFrame(std::string_view machineDecimal, std::string_view entries) {
    // Length counts the command byte, the count byte and the entries.
    const std::string count = hexField(entries.size() / frame::kEntryDigits, frame::kCountDigits);
    const std::string length = hexField((entries.size() + 4) / 2, frame::kLengthDigits);
    return buildFrame(machineField(machineDecimal), length, frame::kWhitelistBlock, count + std::string(entries));
}

std::string deleteWhitelistFrame(std::string_view machineDecimal) {
    return simpleFrame(machineDecimal, frame::kDeleteWhitelist);
}

std::string periodFrame(std::string_view machineDecimal, Meal period, std::string_view startTime,
                        std::string_view endTime) {
    const std::string parameters = std::string(periodCode(period)) + withoutColons(startTime) + withoutColons(endTime);
    return buildFrame(machineField(machineDecimal), frame::kLengthPeriod, frame::kSetPeriod, parameters);
}

std::string amountFrame(std::string_view machineDecimal, Meal meal, std::string_view amountFenDecimal) {
    const std::string parameters = std::string(mealCode(meal)) + hexField(amountFenDecimal, frame::kAmountDigits);
    return buildFrame(machineField(machineDecimal), frame::kLengthAmount, frame::kSetAmount, parameters);
}

std::string modeFrame(std::string_view machineDecimal, ConsumptionMode mode) {
    return buildFrame(machineField(machineDecimal), frame::kLengthOneByte, frame::kSetMode,
                      byteToHex(static_cast<unsigned>(mode)));
}

std::string titleFrame(std::string_view machineDecimal, std::string_view titleGbk) {
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(titleGbk.data()), titleGbk.size());
    return buildFrame(machineField(machineDecimal), frame::kLengthTitle, frame::kSetTitle, bytesToHex(bytes));
}

std::string listModeFrame(std::string_view machineDecimal, CardList list) {
    return buildFrame(machineField(machineDecimal), frame::kLengthOneByte, frame::kSetListMode,
                      byteToHex(static_cast<unsigned>(list)));
}

std::string readCountFrame(std::string_view machineDecimal) {
    return simpleFrame(machineDecimal, frame::kReadCount);
}

std::string acknowledgementFrame(std::string_view receivedHeaderAndMachine) {
    // The received header is echoed as it came, even when it is not "FE01"; only the machine
    // field goes into the checksum.
    const std::string_view machine =
        receivedHeaderAndMachine.substr(std::min<std::size_t>(frame::kHeader.size(), receivedHeaderAndMachine.size()));
    std::string body(machine);
    body += frame::kLengthNoParameters;
    body += frame::kAcknowledge;
    std::string out(receivedHeaderAndMachine.substr(0, frame::kHeader.size()));
    out += body;
    out += frameChecksum(body);
    return out;
}

std::string cardReplyFrame(std::string_view machineHex, std::string_view payload) {
    return buildFrame(machineHex, frame::kLengthCardReply, frame::kCardReply, payload);
}

std::string offlineAcknowledgementFrame(std::string_view machineHex) {
    return buildFrame(machineHex, frame::kLengthNoParameters, frame::kOfflineAcknowledge, {});
}

} // namespace vorlanx::link
