#include "winshell/TimeFields.h"

#include "ui/TimeRules.h"
#include "winshell/Text.h"

#include <commctrl.h>

#include <string>

namespace vorlanx::winshell {

namespace {

constexpr UINT_PTR kSubclassId = 1;

ui::TimeFieldState read(HWND field) {
    const int n = GetWindowTextLengthW(field);
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(field, text.data(), n + 1)));
    DWORD from = 0;
    DWORD to = 0;
    SendMessageW(field, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    ui::TimeFieldState state;
    state.text = narrow(text); // HH:MM:SS is ASCII: positions are the same in both encodings
    state.start = static_cast<int>(from);
    state.length = static_cast<int>(to - from);
    return state;
}

void write(HWND field, const ui::TimeFieldState& before, const ui::TimeFieldState& after) {
    if (after.text != before.text)
        SetWindowTextW(field, widen(after.text).c_str());
    SendMessageW(field, EM_SETSEL, static_cast<WPARAM>(after.start), static_cast<LPARAM>(after.start + after.length));
}

template <typename Rule> void apply(HWND field, Rule rule) {
    const ui::TimeFieldState before = read(field);
    write(field, before, rule(before));
}

LRESULT CALLBACK fieldProcedure(HWND field, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (message) {
    case WM_LBUTTONUP: {
        const LRESULT result = DefSubclassProc(field, message, wParam, lParam);
        apply(field, [](const ui::TimeFieldState& s) { return ui::selectTimePart(s); });
        return result;
    }
    case WM_SETFOCUS: {
        const LRESULT result = DefSubclassProc(field, message, wParam, lParam);
        apply(field, [](const ui::TimeFieldState& s) { return ui::selectTimePart(s); });
        return result;
    }
    case WM_KEYDOWN:
        switch (wParam) {
        case VK_LEFT:
            apply(field, [](const ui::TimeFieldState& s) { return ui::pressTimeKey(s, ui::TimeKey::Left); });
            return 0;
        case VK_RIGHT:
            apply(field, [](const ui::TimeFieldState& s) { return ui::pressTimeKey(s, ui::TimeKey::Right); });
            return 0;
        case VK_UP:
            apply(field, [](const ui::TimeFieldState& s) { return ui::pressTimeKey(s, ui::TimeKey::Up); });
            return 0;
        case VK_DOWN:
            apply(field, [](const ui::TimeFieldState& s) { return ui::pressTimeKey(s, ui::TimeKey::Down); });
            return 0;
        case VK_DELETE:
            // Deleting would break the HH:MM:SS form, which no rule could mend.
            return 0;
        default:
            break;
        }
        break;
    case WM_CHAR:
        if (wParam == VK_TAB || wParam == VK_RETURN || wParam == VK_ESCAPE)
            break;
        // Every other character goes through the digit rule, never straight into the text; a
        // backspace or a control key types nothing.
        if (wParam >= 0x20)
            apply(field, [c = static_cast<char32_t>(wParam)](const ui::TimeFieldState& s) {
                return ui::typeTimeCharacter(s, c);
            });
        return 0;
    case WM_GETDLGCODE:
        // Tabbing into the field selects a part by the rules, not the whole text.
        return DefSubclassProc(field, message, wParam, lParam) & ~static_cast<LRESULT>(DLGC_HASSETSEL);
    case WM_PASTE:
    case WM_CUT:
    case WM_CLEAR:
    case WM_UNDO:
        return 0;
    case WM_NCDESTROY:
        RemoveWindowSubclass(field, fieldProcedure, kSubclassId);
        break;
    default:
        break;
    }
    return DefSubclassProc(field, message, wParam, lParam);
}

} // namespace

void TimeFields::attach(HWND field) {
    SetWindowSubclass(field, fieldProcedure, kSubclassId, 0);
}

void TimeFields::step(HWND field, int delta) {
    apply(field, [delta](const ui::TimeFieldState& s) { return ui::stepTime(s, delta); });
}

} // namespace vorlanx::winshell
