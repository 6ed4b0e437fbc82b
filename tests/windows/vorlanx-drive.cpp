// vorlanx-drive: drives a running vorlanx.exe from outside, as a test does, by control ID. It
// reads one command per line on standard input and answers each with one line on standard output
// ("ok ..." or "error ...", line ends inside escaped as \\r and \\n), so that one window start serves a whole group of
// checks:
//
//   window SECONDS           wait for the main window
//   text ID                  the control's text (an address box: its dotted address)
//   set ID TEXT              set the text (an address box: its address)
//   click ID                 BM_CLICK, then wait until the window has handled it
//   command ID               WM_COMMAND from a menu item with this ID
//   count ID                 rows of a list view
//   checked ID / enabled ID / visible ID
//   choose ID INDEX          choose an item of a combo box
//   tab INDEX                choose a page of the tab control as a click on it would
//   select ID START LENGTH   select characters of an edit box; "selection ID" reads it back
//   key ID VK / char ID CODE a key or a typed character to a control
//   clickchar ID POS         a left click on the character at POS of an edit box
//   updown ID +1|-1          a click on the up or down button beside a time field
//   arrows ID                "ok 1" when the up/down buttons beside a time field take input
//   focusclick ID            a left click posted to a control, which takes the focus
//   focused                  the control ID of the window's keyboard focus (0: none of ours)
//   press VK                 a key posted to the focused control, through the window's loop
//   rclick ID X Y            a right click at X,Y of a control (a list pops its menu up)
//   menu MS                  "ok 1" when a pop-up menu of the window shows within MS ms, else
//                            "ok 0"; "menu close" closes it
//   box MS                   the message box shown within MS ms: "ok TITLE<TAB>TEXT", answered OK;
//                            "ok none" when none came; "box MS open" reads it and leaves it open
//   anybox MS                the same for a box of any process (a window that will not start);
//                            needs no window
//   panel INDEX              the text of a panel of the window's status bar
//   rows ID                  every row of a list view, cells joined by |, rows ended by \n
//   close                    close the window and wait for its process to end
//   kill                     end the window's process (after a failed check)
//
// Every cross-process call carries values only (no pointers), which Windows and Wine marshal;
// what a control writes through a pointer (a status bar panel, a list cell) it writes into memory
// of the window's process, read back from there.

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr const wchar_t* kWindowClass = L"VorlanxMainWindow";

std::wstring widen(const std::string& s) {
    std::wstring out(
        static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0)),
        L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), static_cast<int>(out.size()));
    return out;
}

std::string narrow(const std::wstring& s) {
    std::string out(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()),
                                                                 nullptr, 0, nullptr, nullptr)),
                    '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), static_cast<int>(out.size()),
                        nullptr, nullptr);
    return out;
}

std::string className(HWND w) {
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    return narrow(name);
}

// The text through WM_GETTEXT, which crosses processes (GetWindowText does not ask the control).
std::string textOf(HWND w) {
    DWORD_PTR length = 0;
    SendMessageTimeoutW(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length);
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(w, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000,
                        &copied);
    text.resize(copied);
    return narrow(text);
}

struct Finder {
    int id;
    HWND found = nullptr;
};

BOOL CALLBACK findChild(HWND w, LPARAM data) {
    auto* f = reinterpret_cast<Finder*>(data);
    if (GetDlgCtrlID(w) == f->id && GetParent(w) != nullptr) {
        f->found = w;
        return FALSE;
    }
    return TRUE;
}

std::vector<HWND> children(HWND parent) {
    std::vector<HWND> out;
    EnumChildWindows(
        parent,
        [](HWND w, LPARAM data) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(data)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&out));
    return out;
}

class Driver {
public:
    std::string run(const std::string& line);

private:
    HWND control(int id) const {
        Finder f{id};
        EnumChildWindows(m_window, findChild, reinterpret_cast<LPARAM>(&f));
        return f.found;
    }
    // Sent, not posted: a thread handles sent messages before its posted ones, so a posted input
    // followed by a sent check could be checked before it was handled. A message that opens a
    // modal box returns only when the box closes: the wait ends after a while and the box stays
    // for "box" to read.
    static void deliver(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(w, message, wParam, lParam, SMTO_NORMAL, 2000, &ignored);
    }
    // Returns once the window's thread is free again (or sits in a modal loop, which still
    // answers sent messages).
    void settle() const {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(m_window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
    }
    HWND messageBox() const { return shownWindow("#32770"); }
    static HWND anyMessageBox();
    std::string readBox(HWND box, bool keep) const;
    HWND upDownBeside(HWND field) const;
    HWND popupMenu() const { return shownWindow("#32768"); }
    HWND shownWindow(const char* cls) const;
    std::string addressOf(HWND box) const;

    std::string remoteText(HWND w, UINT message, WPARAM wParam, bool listItem) const;

    HWND m_window = nullptr;
    DWORD m_process = 0;
};

// The control writes its text into a buffer in its own process: wParam as given, lParam the buffer
// (a status bar) or an LVITEMW pointing into it (a list view's cell, wParam its row).
std::string Driver::remoteText(HWND w, UINT message, WPARAM wParam, bool listItem) const {
    constexpr std::size_t kChars = 1024;
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, m_process);
    if (!process)
        return {};
    auto* remote = static_cast<char*>(
        VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + kChars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
    std::wstring text(kChars, L'\0');
    if (remote) {
        auto* remoteChars = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
        LPARAM lParam = reinterpret_cast<LPARAM>(remoteChars);
        if (listItem) {
            LVITEMW item{};
            item.iSubItem = static_cast<int>(wParam >> 16);
            item.pszText = remoteChars;
            item.cchTextMax = static_cast<int>(kChars);
            WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
            wParam &= 0xFFFF;
            lParam = reinterpret_cast<LPARAM>(remote);
        }
        WriteProcessMemory(process, remoteChars, text.data(), kChars * sizeof(wchar_t), nullptr);
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(w, message, wParam, lParam, SMTO_NORMAL, 5000, &ignored);
        ReadProcessMemory(process, remoteChars, text.data(), kChars * sizeof(wchar_t), nullptr);
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    text.resize(std::wcslen(text.c_str()));
    return narrow(text);
}

HWND Driver::shownWindow(const char* cls) const {
    struct Search {
        DWORD process;
        const char* cls;
        HWND found = nullptr;
    } search{m_process, cls};
    EnumWindows(
        [](HWND w, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD process = 0;
            GetWindowThreadProcessId(w, &process);
            if (process == s->process && IsWindowVisible(w) && className(w) == s->cls) {
                s->found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND Driver::anyMessageBox() {
    HWND found = nullptr;
    EnumWindows(
        [](HWND w, LPARAM data) -> BOOL {
            if (IsWindowVisible(w) && className(w) == "#32770") {
                *reinterpret_cast<HWND*>(data) = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

std::string Driver::readBox(HWND box, bool keep) const {
    std::string text;
    for (HWND child : children(box)) {
        if (className(child) == "Static" && !(GetWindowLongW(child, GWL_STYLE) & SS_ICON)) {
            const std::string t = textOf(child);
            if (!t.empty())
                text = t;
        }
    }
    const std::string title = textOf(box);
    if (keep)
        return "ok " + title + "\t" + text;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 100 && IsWindow(box); ++i)
        Sleep(20);
    if (m_window)
        settle();
    return "ok " + title + "\t" + text;
}

// The up/down control is the sibling just right of the field.
HWND Driver::upDownBeside(HWND field) const {
    RECT f{};
    GetWindowRect(field, &f);
    for (HWND sibling : children(m_window)) {
        RECT r{};
        GetWindowRect(sibling, &r);
        if (className(sibling) == "msctls_updown32" && r.top == f.top && std::abs(r.left - f.right) <= 2)
            return sibling;
    }
    return nullptr;
}

std::string Driver::addressOf(HWND box) const {
    // The four number fields, left to right.
    std::vector<std::pair<LONG, std::string>> fields;
    for (HWND field : children(box)) {
        RECT r{};
        GetWindowRect(field, &r);
        fields.emplace_back(r.left, textOf(field));
    }
    std::sort(fields.begin(), fields.end());
    std::string address;
    bool blank = true;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        blank = blank && fields[i].second.empty();
        address += (i > 0 ? "." : "") + fields[i].second;
    }
    return blank ? std::string() : address;
}

std::string Driver::run(const std::string& line) {
    std::istringstream in(line);
    std::string verb;
    in >> verb;
    if (verb == "window") {
        double seconds = 30;
        in >> seconds;
        const DWORD until = GetTickCount() + static_cast<DWORD>(seconds * 1000);
        while (!(m_window = FindWindowW(kWindowClass, nullptr)) && GetTickCount() < until)
            Sleep(100);
        if (!m_window)
            return "error no window";
        GetWindowThreadProcessId(m_window, &m_process);
        settle();
        return "ok";
    }
    if (verb == "anybox") {
        int ms = 0;
        std::string keep;
        in >> ms >> keep;
        const DWORD until = GetTickCount() + static_cast<DWORD>(ms);
        HWND box = nullptr;
        while (!(box = anyMessageBox()) && GetTickCount() < until)
            Sleep(50);
        return box ? readBox(box, keep == "open") : "ok none";
    }
    if (!m_window)
        return "error no window yet";
    if (verb == "box") {
        int ms = 0;
        std::string keep;
        in >> ms >> keep;
        const DWORD until = GetTickCount() + static_cast<DWORD>(ms);
        HWND box = nullptr;
        while (!(box = messageBox()) && GetTickCount() < until)
            Sleep(50);
        return box ? readBox(box, keep == "open") : "ok none";
    }
    if (verb == "menu") {
        std::string arg;
        in >> arg;
        if (arg == "close") {
            // Ends the window's menu loop as a click elsewhere would.
            PostMessageW(m_window, WM_CANCELMODE, 0, 0);
            if (HWND menu = popupMenu())
                PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
            for (int i = 0; i < 100 && popupMenu(); ++i)
                Sleep(20);
            return popupMenu() ? "error the menu stays" : "ok";
        }
        const DWORD until = GetTickCount() + static_cast<DWORD>(std::atoi(arg.c_str()));
        while (!popupMenu() && GetTickCount() < until)
            Sleep(50);
        return popupMenu() ? "ok 1" : "ok 0";
    }
    if (verb == "command") {
        int id = 0;
        in >> id;
        deliver(m_window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
        settle();
        return "ok";
    }
    if (verb == "kill") {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, m_process);
        const bool ended =
            process && TerminateProcess(process, 1) && WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
        if (process)
            CloseHandle(process);
        return ended ? "ok" : "error cannot end the window's process";
    }
    if (verb == "close") {
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, m_process);
        PostMessageW(m_window, WM_CLOSE, 0, 0);
        const DWORD waited = process ? WaitForSingleObject(process, 30000) : WAIT_FAILED;
        if (process)
            CloseHandle(process);
        return waited == WAIT_OBJECT_0 ? "ok" : "error still running";
    }
    if (verb == "focused" || verb == "press") {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(m_window, nullptr), &info);
        if (verb == "focused")
            return "ok " + std::to_string(info.hwndFocus ? GetDlgCtrlID(info.hwndFocus) : 0);
        int vk = 0;
        in >> vk;
        if (!info.hwndFocus)
            return "error no focus";
        PostMessageW(info.hwndFocus, WM_KEYDOWN, static_cast<WPARAM>(vk), 1);
        PostMessageW(info.hwndFocus, WM_KEYUP, static_cast<WPARAM>(vk), static_cast<LPARAM>(0xC0000001));
        return "ok";
    }
    int id = 0;
    in >> id;
    if (verb == "panel")
        return "ok " + remoteText(control(1060), SB_GETTEXTW, static_cast<WPARAM>(id), false);
    HWND w = verb == "tab" ? control(1031) : control(id);
    if (!w)
        return "error no control " + std::to_string(id);
    const std::string cls = className(w);
    if (verb == "text")
        return "ok " + (cls == "SysIPAddress32" ? addressOf(w) : textOf(w));
    if (verb == "set") {
        std::string text;
        std::getline(in, text);
        if (!text.empty() && text.front() == ' ')
            text.erase(0, 1);
        if (cls == "SysIPAddress32") {
            // Four parts, each typed into its field left to right; a part may be blank.
            std::vector<std::string> parts(1);
            for (const char c : text) {
                if (c == '.')
                    parts.emplace_back();
                else
                    parts.back() += c;
            }
            std::vector<std::pair<LONG, HWND>> fields;
            for (HWND field : children(w)) {
                RECT r{};
                GetWindowRect(field, &r);
                fields.emplace_back(r.left, field);
            }
            std::sort(fields.begin(), fields.end());
            SendMessageW(w, IPM_CLEARADDRESS, 0, 0);
            if (text.empty())
                return "ok";
            if (parts.size() != 4 || fields.size() != 4)
                return "error not an address";
            for (std::size_t i = 0; i < 4; ++i) {
                const std::wstring wide = widen(parts[i]);
                SendMessageW(fields[i].second, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
            }
        } else {
            const std::wstring wide = widen(text);
            DWORD_PTR ignored = 0;
            SendMessageTimeoutW(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), SMTO_NORMAL, 5000, &ignored);
        }
        return "ok";
    }
    if (verb == "click") {
        deliver(w, BM_CLICK, 0, 0);
        settle();
        return "ok";
    }
    if (verb == "rclick") {
        int x = 0, y = 0;
        in >> x >> y;
        PostMessageW(w, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, y));
        PostMessageW(w, WM_RBUTTONUP, 0, MAKELPARAM(x, y));
        return "ok";
    }
    if (verb == "rows") {
        std::string rows;
        const int count = static_cast<int>(SendMessageW(w, LVM_GETITEMCOUNT, 0, 0));
        const int columns = static_cast<int>(
            SendMessageW(reinterpret_cast<HWND>(SendMessageW(w, LVM_GETHEADER, 0, 0)), HDM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < count; ++row) {
            for (int column = 0; column < columns; ++column)
                rows += (column > 0 ? "|" : "") +
                        remoteText(w, LVM_GETITEMTEXTW, static_cast<WPARAM>(row) | (static_cast<WPARAM>(column) << 16),
                                   true);
            rows += "\n";
        }
        return "ok " + rows;
    }
    if (verb == "choose") {
        int index = 0;
        in >> index;
        deliver(w, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        return "ok";
    }
    if (verb == "count")
        return "ok " + std::to_string(SendMessageW(w, LVM_GETITEMCOUNT, 0, 0));
    if (verb == "checked")
        return "ok " + std::to_string(SendMessageW(w, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
    if (verb == "enabled")
        return "ok " + std::to_string(IsWindowEnabled(w) ? 1 : 0);
    if (verb == "visible")
        return "ok " + std::to_string(IsWindowVisible(w) ? 1 : 0);
    if (verb == "tab") {
        // TCM_SETCURFOCUS on a tab control of tabs (not buttons) selects the page and notifies the
        // window as a click does.
        deliver(w, TCM_SETCURFOCUS, static_cast<WPARAM>(id), 0);
        settle();
        return "ok " + std::to_string(SendMessageW(w, TCM_GETCURSEL, 0, 0));
    }
    if (verb == "select") {
        int start = 0, length = 0;
        in >> start >> length;
        deliver(w, EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(start + length));
        return "ok";
    }
    if (verb == "selection") {
        const auto packed = static_cast<DWORD>(SendMessageW(w, EM_GETSEL, 0, 0));
        return "ok " + std::to_string(LOWORD(packed)) + " " + std::to_string(HIWORD(packed) - LOWORD(packed));
    }
    if (verb == "key") {
        int vk = 0;
        in >> vk;
        deliver(w, WM_KEYDOWN, static_cast<WPARAM>(vk), 1);
        deliver(w, WM_KEYUP, static_cast<WPARAM>(vk), static_cast<LPARAM>(0xC0000001));
        settle();
        return "ok";
    }
    if (verb == "char") {
        int code = 0;
        in >> code;
        deliver(w, WM_CHAR, static_cast<WPARAM>(code), 1);
        settle();
        return "ok";
    }
    if (verb == "clickchar") {
        int position = 0;
        in >> position;
        const auto packed = static_cast<DWORD>(SendMessageW(w, EM_POSFROMCHAR, static_cast<WPARAM>(position), 0));
        const LPARAM at = MAKELPARAM(LOWORD(packed) + 1, HIWORD(packed) + 3);
        deliver(w, WM_LBUTTONDOWN, MK_LBUTTON, at);
        deliver(w, WM_LBUTTONUP, 0, at);
        settle();
        return "ok";
    }
    if (verb == "updown") {
        int delta = 0;
        in >> delta;
        HWND upDown = upDownBeside(w);
        if (!upDown)
            return "error no up/down beside " + std::to_string(id);
        RECT r{};
        GetWindowRect(upDown, &r);
        const int y = delta > 0 ? 2 : static_cast<int>(r.bottom - r.top) - 3;
        deliver(upDown, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, y));
        deliver(upDown, WM_LBUTTONUP, 0, MAKELPARAM(3, y));
        settle();
        return "ok";
    }
    if (verb == "arrows") {
        HWND upDown = upDownBeside(w);
        return upDown ? "ok " + std::to_string(IsWindowEnabled(upDown) ? 1 : 0) : "error no up/down";
    }
    if (verb == "focusclick") {
        PostMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
        PostMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
        return "ok";
    }
    return "error unknown command " + verb;
}

} // namespace

int main() {
    Driver driver;
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        // One answer, one line: the line ends inside a text are written as \\r and \\n.
        std::string answer;
        for (const char c : driver.run(line))
            answer += c == '\\'   ? std::string("\\\\")
                      : c == '\r' ? std::string("\\r")
                      : c == '\n' ? std::string("\\n")
                                  : std::string(1, c);
        std::cout << answer << std::endl;
    }
    return 0;
}
