#include "winshell/WindowControls.h"

#include "winshell/Layout.h"

#include <algorithm>

namespace vorlanx::winshell {

namespace {

using ui::Kind;

// The width of the up/down buttons at the right end of a time field.
constexpr int kUpDownWidth = 16;

std::unique_ptr<Control> makeControl(const ui::Control& c, ControlDesc& desc) {
    // Every control starts a group of its own except the second radio of a pair, so that the
    // radios of one row choose among themselves and nothing else.
    desc.style = WS_CLIPSIBLINGS | WS_GROUP;
    switch (c.kind) {
    case Kind::Label:
        desc.className = L"Static";
        desc.style |= SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX;
        return std::make_unique<Label>();
    case Kind::Button:
        desc.className = L"Button";
        desc.style |= BS_PUSHBUTTON | WS_TABSTOP;
        return std::make_unique<Button>();
    case Kind::Check:
        desc.className = L"Button";
        desc.style |= BS_AUTOCHECKBOX | WS_TABSTOP;
        return std::make_unique<Button>();
    case Kind::Radio:
        desc.className = L"Button";
        desc.style |= BS_AUTORADIOBUTTON | WS_TABSTOP;
        if (c.column > 0)
            desc.style &= ~static_cast<DWORD>(WS_GROUP);
        return std::make_unique<Button>();
    case Kind::Group:
        desc.className = L"Button";
        desc.style |= BS_GROUPBOX;
        return std::make_unique<Button>();
    case Kind::Edit:
    case Kind::PasswordEdit:
    case Kind::ServerEdit:
    case Kind::TimeEdit:
        desc.className = L"Edit";
        desc.exStyle = WS_EX_CLIENTEDGE;
        desc.style |= ES_AUTOHSCROLL | WS_TABSTOP;
        if (c.kind == Kind::PasswordEdit)
            desc.style |= ES_PASSWORD;
        return std::make_unique<Edit>();
    case Kind::AddressEdit:
        desc.className = WC_IPADDRESSW;
        desc.style |= WS_TABSTOP;
        desc.text.clear(); // set as an address once made
        return std::make_unique<IpAddress>();
    case Kind::TextBox:
        desc.className = L"Edit";
        desc.exStyle = WS_EX_CLIENTEDGE;
        desc.style |= ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL | WS_HSCROLL;
        return std::make_unique<AppendBox>();
    case Kind::Combo:
        desc.className = L"ComboBox";
        desc.style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
        desc.text.clear();
        return std::make_unique<ComboBox>();
    case Kind::ListView:
        desc.className = WC_LISTVIEWW;
        desc.exStyle = WS_EX_CLIENTEDGE;
        desc.style |= LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP;
        desc.text.clear();
        return std::make_unique<ListView>();
    case Kind::Tab:
        desc.className = WC_TABCONTROLW;
        desc.style |= WS_TABSTOP;
        desc.text.clear();
        return std::make_unique<TabControl>();
    case Kind::StatusBar:
        desc.className = STATUSCLASSNAMEW;
        desc.style = WS_CLIPSIBLINGS; // sizes itself to the bottom of the window
        desc.text.clear();
        return std::make_unique<StatusBar>();
    }
    return nullptr;
}

bool isContainer(Kind kind) {
    return kind == Kind::Group || kind == Kind::Tab;
}

} // namespace

bool WindowControls::create(HWND window, const Dpi& dpi) {
    for (const ui::Control& c : ui::controls()) {
        ControlDesc desc;
        desc.id = ui::controlId(c.id);
        desc.text = std::string(c.caption);
        desc.box = layoutBox(c);
        std::unique_ptr<Control> control = makeControl(c, desc);
        if (c.kind == Kind::TimeEdit)
            desc.box.w -= kUpDownWidth;
        if (!control || !control->create(window, desc, dpi))
            return false;
        HWND hwnd = control->hwnd();
        switch (c.kind) {
        case Kind::Edit:
        case Kind::PasswordEdit:
            if (c.maxLength > 0)
                SendMessageW(hwnd, EM_LIMITTEXT, static_cast<WPARAM>(c.maxLength), 0);
            break;
        case Kind::TextBox:
            SendMessageW(hwnd, EM_LIMITTEXT, 0, 0); // as much as the system allows
            break;
        case Kind::AddressEdit:
            static_cast<IpAddress&>(*control).setAddress(c.caption);
            break;
        case Kind::Combo: {
            auto& combo = static_cast<ComboBox&>(*control);
            int selected = 0;
            for (std::size_t i = 0; i < c.items.size(); ++i) {
                combo.addItem(c.items[i]);
                if (c.items[i] == c.caption)
                    selected = static_cast<int>(i);
            }
            combo.setCurrentIndex(selected);
            break;
        }
        case Kind::ListView: {
            auto& list = static_cast<ListView&>(*control);
            SendMessageW(hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
            for (const ui::Column& column : c.columns)
                list.addColumn(column.header, column.width, dpi);
            break;
        }
        case Kind::Tab:
            for (const ui::PageEntry& page : ui::pages())
                static_cast<TabControl&>(*control).addPage(page.name);
            break;
        case Kind::TimeEdit: {
            // The field's up/down buttons: a control of the system's own, steering the field by
            // the time rules through the main window (UDN_DELTAPOS), never by a number of its own.
            const Box& b = control->box();
            HWND upDown = CreateWindowExW(0, UPDOWN_CLASSW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                                          dpi.scale(b.x + b.w), dpi.scale(b.y), dpi.scale(kUpDownWidth), dpi.scale(b.h),
                                          window, nullptr, GetModuleHandleW(nullptr), nullptr);
            SendMessageW(upDown, UDM_SETRANGE32, 0, 100);
            SendMessageW(upDown, UDM_SETPOS32, 0, 50);
            m_upDowns[desc.id] = upDown;
            break;
        }
        default:
            break;
        }
        if (c.page == ui::Page::None || c.page == ui::Page::Basic)
            ShowWindow(hwnd, SW_SHOWNA);
        m_controls.emplace(desc.id, std::move(control));
    }
    // Frames lie under what they frame: group boxes and the tab control go to the bottom of the
    // z-order (the first of them lowest) and clip their siblings, so that they never paint over
    // the controls they hold.
    const auto all = ui::controls();
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        if (!isContainer(it->kind))
            continue;
        SetWindowPos((*this)[it->id].hwnd(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    showPage(0);
    return true;
}

Control* WindowControls::find(int id) const {
    const auto found = m_controls.find(id);
    return found == m_controls.end() ? nullptr : found->second.get();
}

HWND WindowControls::upDownOf(int fieldId) const {
    const auto found = m_upDowns.find(fieldId);
    return found == m_upDowns.end() ? nullptr : found->second;
}

int WindowControls::fieldOfUpDown(HWND upDown) const {
    for (const auto& [id, hwnd] : m_upDowns) {
        if (hwnd == upDown)
            return id;
    }
    return 0;
}

void WindowControls::addPageControl(ui::Page page, std::unique_ptr<Control> control) {
    // A control made later would lie under the frames, which go to the bottom.
    SetWindowPos(control->hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    m_pageExtras.emplace_back(page, std::move(control));
}

bool WindowControls::isPageControl(HWND hwnd) const {
    if (const Control* c = find(GetDlgCtrlID(hwnd)); c && c->hwnd() == hwnd)
        return ui::control(static_cast<ui::Id>(c->id())).page != ui::Page::None;
    for (const auto& [page, control] : m_pageExtras) {
        if (control->hwnd() == hwnd)
            return true;
    }
    return false;
}

void WindowControls::showPage(int page) const {
    for (const auto& [on, control] : m_pageExtras)
        control->setVisible(static_cast<int>(on) == page);
    for (const ui::Control& c : ui::controls()) {
        if (c.page == ui::Page::None)
            continue;
        const bool shown = static_cast<int>(c.page) == page;
        (*this)[c.id].setVisible(shown);
        if (HWND upDown = upDownOf(ui::controlId(c.id)))
            ShowWindow(upDown, shown ? SW_SHOWNA : SW_HIDE);
    }
}

void WindowControls::relayout(const Dpi& dpi, HFONT font) const {
    for (const auto& [page, control] : m_pageExtras) {
        control->setFont(font);
        control->place(dpi);
    }
    for (const auto& [id, control] : m_controls) {
        control->setFont(font);
        if (dynamic_cast<StatusBar*>(control.get()))
            continue;
        control->place(dpi);
        if (HWND upDown = upDownOf(id)) {
            const Box& b = control->box();
            SetWindowPos(upDown, nullptr, dpi.scale(b.x + b.w), dpi.scale(b.y), dpi.scale(kUpDownWidth), dpi.scale(b.h),
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
}

std::string WindowControls::shownText(ui::Id id) const {
    Control& c = (*this)[id];
    if (auto* address = dynamic_cast<IpAddress*>(&c))
        return address->address();
    return c.text();
}

} // namespace vorlanx::winshell
