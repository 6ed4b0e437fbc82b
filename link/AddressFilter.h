#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vorlanx::link {

// Which senders the service serves: IPv4 addresses and CIDR ranges. An empty filter admits
// everyone, as a service without the setting does.
class AddressFilter {
public:
    // "192.168.1.20, 10.0.0.0/8": items separated by commas, blanks around them ignored. A bad
    // item gives its text back, for a message that names it.
    struct BadItem {
        std::string item;
    };
    static std::variant<AddressFilter, BadItem> parse(std::string_view text);

    bool empty() const { return m_ranges.empty(); }
    bool admits(std::string_view address) const;
    // The same for an address as a number (host order).
    bool admits(std::uint32_t address) const;

    // Dotted IPv4 text as a number; nullopt for anything else.
    static std::optional<std::uint32_t> parseAddress(std::string_view text);

private:
    struct Range {
        std::uint32_t network;
        std::uint32_t mask;
    };
    std::vector<Range> m_ranges;
};

} // namespace vorlanx::link
