#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vorlanx::tools {

// The card numbers the simulated terminals present, decimal as the canteen office knows them.
class CardSource {
public:
    // "A-B": every card from A to B, at most a million of them.
    static std::optional<std::vector<std::uint32_t>> fromRange(const std::string& range);
    // One card per line; a line with commas is a card-holder row as vorlanx-db imports it
    // (number, name, department, card, balance) and its fourth field is taken. Lines without a
    // card (a header, a holder without a card) are skipped.
    static std::optional<std::vector<std::uint32_t>> fromFile(const std::string& path, std::string& error);

    static std::optional<std::uint32_t> parseCard(const std::string& text);
};

} // namespace vorlanx::tools
