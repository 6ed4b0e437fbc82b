#include "link/AddressFilter.h"

#include <charconv>

namespace vorlanx::link {

namespace {

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// Plain decimal digits only: no sign, no blank, at most three digits.
std::optional<unsigned> smallNumber(std::string_view text, unsigned limit) {
    if (text.empty() || text.size() > 3)
        return std::nullopt;
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value > limit)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<std::uint32_t> AddressFilter::parseAddress(std::string_view text) {
    std::uint32_t address = 0;
    for (int part = 0; part < 4; ++part) {
        const std::size_t dot = part < 3 ? text.find('.') : text.size();
        if (dot == std::string_view::npos)
            return std::nullopt;
        const auto value = smallNumber(text.substr(0, dot), 255);
        if (!value)
            return std::nullopt;
        address = address << 8 | *value;
        text.remove_prefix(part < 3 ? dot + 1 : dot);
    }
    return address;
}

std::variant<AddressFilter, AddressFilter::BadItem> AddressFilter::parse(std::string_view text) {
    AddressFilter filter;
    if (trim(text).empty())
        return filter;
    for (;;) {
        const std::size_t comma = text.find(',');
        const std::string_view item = trim(text.substr(0, comma));
        const std::size_t slash = item.find('/');
        const auto address = parseAddress(item.substr(0, slash));
        std::optional<unsigned> prefix = 32;
        if (slash != std::string_view::npos)
            prefix = smallNumber(item.substr(slash + 1), 32);
        if (!address || !prefix)
            return BadItem{std::string(item)};
        const std::uint32_t mask = *prefix == 0 ? 0 : ~std::uint32_t{0} << (32 - *prefix);
        filter.m_ranges.push_back({*address & mask, mask});
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
    }
    return filter;
}

bool AddressFilter::admits(std::string_view address) const {
    if (m_ranges.empty())
        return true;
    const auto value = parseAddress(address);
    return value && admits(*value);
}

bool AddressFilter::admits(std::uint32_t address) const {
    if (m_ranges.empty())
        return true;
    for (const Range& range : m_ranges)
        if ((address & range.mask) == range.network)
            return true;
    return false;
}

} // namespace vorlanx::link
