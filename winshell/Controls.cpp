#include "winshell/Controls.h"

#include "winshell/Text.h"

#include <algorithm>

namespace vorlanx::winshell {

Dpi Dpi::of(HWND window) {
    // GetDpiForWindow is Windows 10's; an older system scales by the screen's DPI.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpi && window) {
        if (const UINT dpi = getDpi(window))
            return Dpi(dpi);
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return Dpi(dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI);
}

bool Control::create(HWND parent, const ControlDesc& desc, const Dpi& dpi) {
    m_id = desc.id;
    m_box = desc.box;
    m_hwnd =
        CreateWindowExW(desc.exStyle, desc.className, widen(desc.text).c_str(), desc.style | WS_CHILD,
                        dpi.scale(m_box.x), dpi.scale(m_box.y), dpi.scale(m_box.w), dpi.scale(m_box.h), parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(desc.id)), GetModuleHandleW(nullptr), nullptr);
    return m_hwnd != nullptr;
}

void Control::place(const Dpi& dpi) {
    SetWindowPos(m_hwnd, nullptr, dpi.scale(m_box.x), dpi.scale(m_box.y), dpi.scale(m_box.w), dpi.scale(m_box.h),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string Control::text() const {
    const int n = GetWindowTextLengthW(m_hwnd);
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(m_hwnd, text.data(), n + 1)));
    return narrow(text);
}

void Control::setText(std::string_view utf8) {
    SetWindowTextW(m_hwnd, widen(utf8).c_str());
}

void Edit::selection(int& start, int& length) const {
    DWORD from = 0;
    DWORD to = 0;
    SendMessageW(m_hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    start = static_cast<int>(from);
    length = static_cast<int>(to - from);
}

void Edit::setSelection(int start, int length) {
    SendMessageW(m_hwnd, EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(start + length));
}

void AppendBox::appendText(std::string_view utf8) {
    if (utf8.empty())
        return;
    const std::wstring text = widen(utf8);
    // Where each line of the text ends, just after its CRLF. A CRLF may straddle two appends: a
    // tail ending in CR followed by text starting with LF.
    std::vector<std::size_t> ends;
    bool prevCr = m_lastCr;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\n' && prevCr) {
            ++m_crlfCount;
            m_tailLength = 0;
            ends.push_back(i + 1);
        } else {
            ++m_tailLength;
        }
        prevCr = text[i] == L'\r';
    }
    m_lastCr = prevCr;
    if (m_lineLimit > 0 && ends.size() >= m_lineLimit) {
        // The text alone fills the box: it shows the text's last lines only, never laying out
        // what it would let go at once.
        const std::size_t from = ends.size() > m_lineLimit ? ends[ends.size() - m_lineLimit - 1] : 0;
        m_lineLengths.clear();
        std::size_t lineStart = from;
        for (std::size_t k = ends.size() - m_lineLimit; k < ends.size(); ++k) {
            m_lineLengths.push_back(ends[k] - lineStart);
            lineStart = ends[k];
        }
        m_tailUnits = text.size() - ends.back();
        SetWindowTextW(m_hwnd, text.c_str() + from);
    } else {
        if (m_lineLimit > 0) {
            std::size_t lineStart = 0;
            for (const std::size_t e : ends) {
                m_lineLengths.push_back(m_tailUnits + e - lineStart);
                m_tailUnits = 0;
                lineStart = e;
            }
            m_tailUnits += text.size() - lineStart;
        }
        const int end = GetWindowTextLengthW(m_hwnd);
        SendMessageW(m_hwnd, EM_SETSEL, static_cast<WPARAM>(end), static_cast<LPARAM>(end));
        SendMessageW(m_hwnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
        // Lines are let go in steps of half the limit, so that the box's text moves seldom.
        if (m_lineLimit > 0 && m_lineLengths.size() > m_lineLimit + m_lineLimit / 2) {
            std::size_t drop = 0;
            while (m_lineLengths.size() > m_lineLimit) {
                drop += m_lineLengths.front();
                m_lineLengths.pop_front();
            }
            SendMessageW(m_hwnd, EM_SETSEL, 0, static_cast<LPARAM>(drop));
            SendMessageW(m_hwnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
        }
    }
    const int end = GetWindowTextLengthW(m_hwnd);
    SendMessageW(m_hwnd, EM_SETSEL, static_cast<WPARAM>(end), static_cast<LPARAM>(end));
    SendMessageW(m_hwnd, EM_SCROLLCARET, 0, 0);
}

void AppendBox::clearText() {
    m_crlfCount = 0;
    m_tailLength = 0;
    m_tailUnits = 0;
    m_lastCr = false;
    m_lineLengths.clear();
    SetWindowTextW(m_hwnd, L"");
}

void ComboBox::addItem(std::string_view utf8) {
    SendMessageW(m_hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(utf8).c_str()));
}

std::string IpAddress::address() const {
    if (SendMessageW(m_hwnd, IPM_ISBLANK, 0, 0))
        return {};
    // IPM_GETADDRESS reads a blank part as 0: the text is made from the four fields instead, left
    // to right, so that a blank part stays blank ("192.168..5") and the address is refused.
    std::vector<std::pair<LONG, std::string>> fields;
    for (HWND field = GetWindow(m_hwnd, GW_CHILD); field; field = GetWindow(field, GW_HWNDNEXT)) {
        RECT r{};
        GetWindowRect(field, &r);
        const int n = GetWindowTextLengthW(field);
        std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
        text.resize(static_cast<std::size_t>(GetWindowTextW(field, text.data(), n + 1)));
        fields.emplace_back(r.left, narrow(text));
    }
    std::sort(fields.begin(), fields.end());
    std::string dotted;
    for (std::size_t i = 0; i < fields.size(); ++i)
        dotted += (i > 0 ? "." : "") + fields[i].second;
    return dotted;
}

void IpAddress::setAddress(std::string_view dotted) {
    unsigned parts[4] = {};
    int count = 0;
    unsigned value = 0;
    bool digits = false;
    bool ok = !dotted.empty();
    for (const char c : dotted) {
        if (c >= '0' && c <= '9') {
            value = value * 10 + static_cast<unsigned>(c - '0');
            digits = true;
            ok = ok && value <= 255;
        } else if (c == '.' && digits && count < 3) {
            parts[count++] = value;
            value = 0;
            digits = false;
        } else {
            ok = false;
        }
    }
    if (ok && digits && count == 3) {
        parts[3] = value;
        SendMessageW(m_hwnd, IPM_SETADDRESS, 0, MAKEIPADDRESS(parts[0], parts[1], parts[2], parts[3]));
    } else {
        SendMessageW(m_hwnd, IPM_CLEARADDRESS, 0, 0);
    }
}

void ListView::addColumn(std::string_view header, int width, const Dpi& dpi) {
    std::wstring text = widen(header);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = text.data();
    column.cx = dpi.scale(width);
    const int count = Header_GetItemCount(ListView_GetHeader(m_hwnd));
    SendMessageW(m_hwnd, LVM_INSERTCOLUMNW, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(&column));
}

void ListView::addRow(const std::vector<std::string>& cells) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = rowCount();
    std::wstring first = cells.empty() ? std::wstring() : widen(cells[0]);
    item.pszText = first.data();
    const int row = static_cast<int>(SendMessageW(m_hwnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    for (std::size_t c = 1; c < cells.size(); ++c) {
        std::wstring text = widen(cells[c]);
        LVITEMW sub{};
        sub.iSubItem = static_cast<int>(c);
        sub.pszText = text.data();
        SendMessageW(m_hwnd, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub));
    }
}

std::string ListView::cell(int row, int column) const {
    wchar_t buffer[512] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = static_cast<int>(std::size(buffer));
    SendMessageW(m_hwnd, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return narrow(buffer);
}

int ListView::rowAt(POINT client) const {
    LVHITTESTINFO hit{};
    hit.pt = client;
    return static_cast<int>(SendMessageW(m_hwnd, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
}

void ListView::clearSelection() {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = 0;
    SendMessageW(m_hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
}

void TabControl::addPage(std::string_view caption) {
    std::wstring text = widen(caption);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    const int count = static_cast<int>(SendMessageW(m_hwnd, TCM_GETITEMCOUNT, 0, 0));
    SendMessageW(m_hwnd, TCM_INSERTITEMW, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(&item));
}

void StatusBar::setParts(const std::vector<int>& widths96, const Dpi& dpi) {
    m_widths = widths96;
    std::vector<int> edges;
    int right = 0;
    for (const int w : widths96) {
        right += dpi.scale(w);
        edges.push_back(w > 0 ? right : -1);
    }
    SendMessageW(m_hwnd, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
}

void StatusBar::setPanel(int index, std::string_view utf8) {
    SendMessageW(m_hwnd, SB_SETTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(widen(utf8).c_str()));
}

std::string StatusBar::panel(int index) const {
    const auto length = LOWORD(SendMessageW(m_hwnd, SB_GETTEXTLENGTHW, static_cast<WPARAM>(index), 0));
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(m_hwnd, SB_GETTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(length);
    return narrow(text);
}

} // namespace vorlanx::winshell
