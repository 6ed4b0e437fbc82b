#pragma once

#include <string>

// The rules of a meal-period time field (HH:MM:SS), free of any toolkit: a window reads the
// field's text and selection, applies a rule and writes the outcome back. One part (hours at 0,
// minutes at 3, seconds at 6) is selected at a time, and every rule keeps the text a valid time.
namespace vorlanx::ui {

struct TimeFieldState {
    std::string text;
    int start = 0;  // selection start, or the caret when length is 0
    int length = 0; // selection length
};

enum class TimeKey { Left, Right, Up, Down };

// Selection as a field reports it: a start past the end reads as the text's length, a negative
// one as 0.
TimeFieldState withSelection(TimeFieldState field, int start, int length);
// After a click: select the part under the caret.
TimeFieldState selectTimePart(TimeFieldState field);
// The arrow keys: Right and Left move between parts (the seconds wrap round to the hours, the
// hours stay), Up and Down step the selected part.
TimeFieldState pressTimeKey(TimeFieldState field, TimeKey key);
// The up/down buttons: +1 or -1 on the selected part (the hours when nothing is selected), with
// wrap-around, the part selected after.
TimeFieldState stepTime(TimeFieldState field, int delta);
// A typed character: the selected part takes it as its next digit, or starts again from it when
// the value would be out of range; anything but the ASCII digits types a 0.
TimeFieldState typeTimeCharacter(TimeFieldState field, char32_t character);

} // namespace vorlanx::ui
