#include "admin/InputChecks.h"

#include "admin/CommandPlans.h"
#include "link/AddressFilter.h"
#include "link/Gbk.h"

#include <array>
#include <cstdint>
#include <utility>

namespace vorlanx::admin {

namespace {

constexpr std::uint64_t kMaxPort = 65535;
constexpr std::uint64_t kMaxMachine = 65535;
// The amount field of the frame is 8 hex digits wide.
constexpr std::uint64_t kMaxAmount = 4294967295;

constexpr std::array<std::string_view, kMeals> kMealNames{"早餐", "中餐", "晚餐", "夜宵"};

// Dotted decimal with every part written without leading zeros, since some socket libraries
// read a part with a leading zero as octal and others refuse it.
std::optional<std::string> dottedAddress(std::string_view text) {
    const std::optional<std::uint32_t> address = link::AddressFilter::parseAddress(text);
    if (!address)
        return std::nullopt;
    return std::to_string(*address >> 24) + "." + std::to_string(*address >> 16 & 0xFF) + "." +
           std::to_string(*address >> 8 & 0xFF) + "." + std::to_string(*address & 0xFF);
}

Checked<std::string> accepted(std::string value) { return value; }

Refusal refused(std::string text) { return Refusal{std::move(text)}; }

std::string fieldOwner(std::optional<std::size_t> row) {
    if (!row)
        return "发送目标的";
    return "设备列表第" + std::to_string(*row + 1) + "行的";
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::optional<std::uint64_t> decimalValue(std::string_view text, std::uint64_t max) {
    if (text.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > max)
            return std::nullopt;
    }
    return value;
}

Checked<Destination> checkTarget(const TargetText& text, std::optional<std::size_t> row) {
    const std::string_view address = trimmed(text.address);
    const std::optional<std::string> checkedAddress = dottedAddress(address);
    if (!checkedAddress)
        return refused(fieldOwner(row) + "IP地址不正确：" + std::string(address));

    const std::string_view port = trimmed(text.port);
    const std::optional<std::uint64_t> portValue = decimalValue(port, kMaxPort);
    if (!portValue || *portValue == 0)
        return refused(fieldOwner(row) + "端口不正确（1-65535）：" + std::string(port));

    // An empty machine field addresses machine 0, as the frame builders read it.
    const std::string_view machine = trimmed(text.machine);
    const std::optional<std::uint64_t> machineValue = machine.empty() ? 0 : decimalValue(machine, kMaxMachine);
    if (!machineValue)
        return refused(fieldOwner(row) + "机号不正确（0-65535）：" + std::string(machine));

    return Destination{*checkedAddress, static_cast<std::uint16_t>(*portValue), std::to_string(*machineValue)};
}

Checked<std::string> checkAmount(std::string_view fen, std::size_t mealIndex) {
    const std::string_view amount = trimmed(fen);
    const std::optional<std::uint64_t> value = decimalValue(amount, kMaxAmount);
    if (!value) {
        const std::string_view meal = mealIndex < kMealNames.size() ? kMealNames[mealIndex] : std::string_view{};
        return refused(std::string(meal) + "金额不正确（应为0-4294967295的整数）：" + std::string(amount));
    }
    return accepted(std::to_string(*value));
}

Checked<std::string> checkTitle(std::string_view titleUtf8) {
    std::optional<std::string> gbk = link::utf8ToGbk(titleUtf8);
    if (!gbk)
        return refused("设备名称含有无法用GBK表示的字符");
    return accepted(std::move(*gbk));
}

std::size_t titleCharacterCount(std::string_view gbk) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < gbk.size(); ++count) {
        const auto byte = static_cast<unsigned char>(gbk[i]);
        const bool last = i + 1 == gbk.size();
        const bool twoBytes = !last && (byte >= 0x81 || (byte == '\r' && gbk[i + 1] == '\n'));
        i += twoBytes ? 2 : 1;
    }
    return count;
}

} // namespace vorlanx::admin
