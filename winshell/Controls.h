#pragma once

#include <windows.h>

#include <commctrl.h>

#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace vorlanx::winshell {

// A rectangle in 96-DPI units, the unit every size of the window is given in.
struct Box {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
};

// Scales 96-DPI sizes to the monitor the window is on.
class Dpi {
public:
    explicit Dpi(UINT dpi = USER_DEFAULT_SCREEN_DPI) : m_dpi(dpi) {}
    static Dpi of(HWND window);
    int scale(int v) const { return MulDiv(v, static_cast<int>(m_dpi), USER_DEFAULT_SCREEN_DPI); }
    int unscale(int v) const { return MulDiv(v, USER_DEFAULT_SCREEN_DPI, static_cast<int>(m_dpi)); }
    UINT value() const { return m_dpi; }

private:
    UINT m_dpi;
};

// What a control is made from: its window class, ID, text, place and style, in place of a dozen
// positional CreateWindowExW arguments at every call.
struct ControlDesc {
    const wchar_t* className = L"";
    int id = 0;
    std::string text; // UTF-8
    Box box;
    DWORD style = 0;
    DWORD exStyle = 0;
};

// One child control. The parent window destroys the HWND with itself; the wrapper only keeps it
// and its place, so that a change of DPI can move it.
class Control {
public:
    Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control() = default;

    bool create(HWND parent, const ControlDesc& desc, const Dpi& dpi);
    HWND hwnd() const { return m_hwnd; }
    int id() const { return m_id; }
    const Box& box() const { return m_box; }
    void place(const Dpi& dpi);

    std::string text() const;
    void setText(std::string_view utf8);
    bool enabled() const { return IsWindowEnabled(m_hwnd) != FALSE; }
    void setEnabled(bool on) { EnableWindow(m_hwnd, on ? TRUE : FALSE); }
    void setVisible(bool on) { ShowWindow(m_hwnd, on ? SW_SHOWNA : SW_HIDE); }
    void setFont(HFONT font) { SendMessageW(m_hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE); }

protected:
    HWND m_hwnd = nullptr;
    int m_id = 0;
    Box m_box;
};

// Push button, check box, radio button and group box: the BUTTON class.
class Button : public Control {
public:
    bool checked() const { return SendMessageW(m_hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void setChecked(bool on) { SendMessageW(m_hwnd, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0); }
};

class Label : public Control {};

class Edit : public Control {
public:
    // Selection as start and length, in characters.
    void selection(int& start, int& length) const;
    void setSelection(int start, int length);
};

// A read-only multi-line box only ever appended to at its end or emptied whole: the activity log
// and the parameter-return box. It counts the CRLF pieces appended since it was emptied, so that
// the log's pruning never splits the whole text again, and shows at most its last lineLimit lines
// (0: all; up to half as many again before it lets the oldest go).
class AppendBox : public Edit {
public:
    void setLineLimit(std::size_t lines) { m_lineLimit = lines; }
    void appendText(std::string_view utf8);
    void clearText();
    std::size_t pieceCount() const { return m_crlfCount + (m_tailLength > 0 ? 1 : 0); }

private:
    std::size_t m_lineLimit = 0;
    std::size_t m_crlfCount = 0;
    std::size_t m_tailLength = 0;
    bool m_lastCr = false;
    std::deque<std::size_t> m_lineLengths; // of the kept complete lines, in UTF-16 units with CRLF
    std::size_t m_tailUnits = 0;           // UTF-16 units after the last CRLF
};

class ComboBox : public Control {
public:
    void addItem(std::string_view utf8);
    int currentIndex() const { return static_cast<int>(SendMessageW(m_hwnd, CB_GETCURSEL, 0, 0)); }
    void setCurrentIndex(int index) { SendMessageW(m_hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0); }
};

// The system's IPv4 address box (SysIPAddress32): dotted text in and out.
class IpAddress : public Control {
public:
    // The four fields as shown, joined by dots: a blank field stays empty ("192.168..5"), and a
    // box with every field blank gives "".
    std::string address() const;
    void setAddress(std::string_view dotted);
};

class ListView : public Control {
public:
    void addColumn(std::string_view header, int width, const Dpi& dpi);
    int rowCount() const { return static_cast<int>(SendMessageW(m_hwnd, LVM_GETITEMCOUNT, 0, 0)); }
    void addRow(const std::vector<std::string>& cells);
    std::string cell(int row, int column) const;
    void deleteRow(int row) { SendMessageW(m_hwnd, LVM_DELETEITEM, static_cast<WPARAM>(row), 0); }
    void clear() { SendMessageW(m_hwnd, LVM_DELETEALLITEMS, 0, 0); }
    int selectedRow() const {
        return static_cast<int>(SendMessageW(m_hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }
    // The row under a point of the list's client area, or -1.
    int rowAt(POINT client) const;
    void clearSelection();
};

class TabControl : public Control {
public:
    void addPage(std::string_view caption);
    int current() const { return static_cast<int>(SendMessageW(m_hwnd, TCM_GETCURSEL, 0, 0)); }
    void setCurrent(int index) { SendMessageW(m_hwnd, TCM_SETCURSEL, static_cast<WPARAM>(index), 0); }
};

class StatusBar : public Control {
public:
    void setParts(const std::vector<int>& widths96, const Dpi& dpi); // 0 for the last: the rest
    void setPanel(int index, std::string_view utf8);
    std::string panel(int index) const;

private:
    std::vector<int> m_widths;
};

} // namespace vorlanx::winshell
