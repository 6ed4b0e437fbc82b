#pragma once

#include <windows.h>

namespace vorlanx::winshell {

// The eight meal-period time fields: plain edit controls whose clicks, arrow keys, typed
// characters and up/down buttons go through the shared time rules (ui/TimeRules.h) instead of the
// edit's own handling, so that the text always stays a valid HH:MM:SS.
class TimeFields {
public:
    // Takes over the field's input; the subclass ends with the field.
    static void attach(HWND field);
    // The field's up/down button: +1 up, -1 down.
    static void step(HWND field, int delta);
};

} // namespace vorlanx::winshell
