#pragma once

#include "admin/CommandPlan.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

// What the operator typed, checked before anything of a command is sent. A refusal is the text
// of the message box, naming the field (and the row of the terminal list).
namespace vorlanx::admin {

// The text without the blanks (space, TAB, CR, LF) around it, as a field is read.
std::string_view trimmed(std::string_view text);
// Value of a text of ASCII digits only, at most `max`; nullopt for an empty text, any other
// character (sign, blank, full-width digit) or a larger value.
std::optional<std::uint64_t> decimalValue(std::string_view text, std::uint64_t max);

// The three cells of a target as text: the send fields or one row of the terminal list.
struct TargetText {
    std::string address;
    std::string port;
    std::string machine;
};

// A refusal: the text of the message box.
struct Refusal {
    std::string text;

    bool operator==(const Refusal&) const = default;
};

// The checked value, or why it was refused.
template <typename T> using Checked = std::variant<T, Refusal>;

// row: nullopt for the send fields, else the 0-based row of the terminal list.
Checked<Destination> checkTarget(const TargetText& text, std::optional<std::size_t> row);

// mealIndex 0..3 names the meal in the refusal.
Checked<std::string> checkAmount(std::string_view fen, std::size_t mealIndex);

// The title's GBK bytes, or a refusal when GBK cannot hold one of its characters.
Checked<std::string> checkTitle(std::string_view titleUtf8);

// Characters of a GBK text as the terminal's title line counts them: a byte of 0x81 or more
// that is not the last one starts a two-byte character, CR LF is one character, any other byte one.
std::size_t titleCharacterCount(std::string_view gbk);
inline constexpr std::size_t kTitleCharacterLimit = 9;

} // namespace vorlanx::admin
