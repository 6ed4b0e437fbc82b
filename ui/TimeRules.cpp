#include "ui/TimeRules.h"

#include <algorithm>

namespace vorlanx::ui {

namespace {
constexpr int kLength = 8; // HH:MM:SS
constexpr int kMinutes = 3;
constexpr int kSeconds = 6;

int limitOf(int start) {
    return start < kMinutes ? 23 : 59;
}

std::string twoDigits(int v) {
    return v < 10 ? "0" + std::to_string(v) : std::to_string(v);
}

// The value of a whole text of digits; anything else (a colon inside, nothing at all) is 0.
int valueOf(const std::string& digits) {
    if (digits.empty() || digits.size() > 9 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    return std::stoi(digits);
}

std::string selectedText(const TimeFieldState& f) {
    return f.text.substr(static_cast<std::size_t>(f.start), static_cast<std::size_t>(f.length));
}

TimeFieldState replaceSelection(TimeFieldState f, int value) {
    const int start = f.start;
    f.text.replace(static_cast<std::size_t>(start), static_cast<std::size_t>(f.length), twoDigits(value));
    return withSelection(std::move(f), start, 2);
}

TimeFieldState partAt(TimeFieldState f, int position) {
    const int start = position <= 2 ? 0 : position <= 5 ? kMinutes : kSeconds;
    return withSelection(std::move(f), start, 2);
}
} // namespace

TimeFieldState withSelection(TimeFieldState field, int start, int length) {
    const int size = static_cast<int>(field.text.size());
    field.start = std::clamp(start, 0, size);
    field.length = std::clamp(length, 0, size - field.start);
    return field;
}

TimeFieldState selectTimePart(TimeFieldState field) {
    const int caret = field.start;
    return partAt(std::move(field), caret);
}

TimeFieldState stepTime(TimeFieldState field, int delta) {
    if (field.length == 0)
        field = withSelection(std::move(field), 0, 2);
    int v = valueOf(selectedText(field)) + delta;
    const int limit = limitOf(field.start);
    if (v > limit)
        v = 0;
    else if (v < 0)
        v = limit;
    field = replaceSelection(std::move(field), v);
    return selectTimePart(std::move(field));
}

TimeFieldState pressTimeKey(TimeFieldState field, TimeKey key) {
    switch (key) {
    case TimeKey::Right: {
        int start = std::min(field.start + 3, kLength);
        if (start == kLength)
            start = 0; // the seconds wrap round to the hours
        return partAt(std::move(field), start);
    }
    case TimeKey::Left: {
        const int start = std::max(field.start - 1, 0);
        return partAt(std::move(field), start);
    }
    case TimeKey::Up:
        return stepTime(std::move(field), 1);
    case TimeKey::Down:
        return stepTime(std::move(field), -1);
    }
    return field;
}

TimeFieldState typeTimeCharacter(TimeFieldState field, char32_t character) {
    // Only a part is ever overwritten: with nothing selected the part under the caret is.
    if (field.length == 0)
        field = selectTimePart(std::move(field));
    const int d = character >= U'0' && character <= U'9' ? static_cast<int>(character - U'0') : 0;
    int n = valueOf(selectedText(field) + static_cast<char>('0' + d));
    if (n > limitOf(field.start))
        n = d;
    return replaceSelection(std::move(field), n);
}

} // namespace vorlanx::ui
