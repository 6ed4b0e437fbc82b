#include "tools/vorlanx-termsim/CardSource.h"

#include <charconv>
#include <fstream>

namespace vorlanx::tools {

std::optional<std::uint32_t> CardSource::parseCard(const std::string& text) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<std::vector<std::uint32_t>> CardSource::fromRange(const std::string& range) {
    const auto dash = range.find('-');
    if (dash == std::string::npos)
        return std::nullopt;
    const auto a = parseCard(range.substr(0, dash));
    const auto b = parseCard(range.substr(dash + 1));
    if (!a || !b || *b < *a || *b - *a >= 1000000)
        return std::nullopt;
    std::vector<std::uint32_t> cards;
    for (std::uint64_t c = *a; c <= *b; ++c)
        cards.push_back(static_cast<std::uint32_t>(c));
    return cards;
}

std::optional<std::vector<std::uint32_t>> CardSource::fromFile(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    std::vector<std::uint32_t> cards;
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        std::string field = line;
        if (line.find(',') != std::string::npos) {
            std::size_t from = 0;
            for (int i = 0; i < 3 && from != std::string::npos; ++i) {
                from = line.find(',', from);
                if (from != std::string::npos)
                    ++from;
            }
            if (from == std::string::npos)
                continue;
            field = line.substr(from, line.find(',', from) - from);
        }
        if (const auto card = parseCard(field))
            cards.push_back(*card);
    }
    if (cards.empty()) {
        error = path + " holds no card numbers";
        return std::nullopt;
    }
    return cards;
}

} // namespace vorlanx::tools
