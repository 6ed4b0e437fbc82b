#include "winshell/ListMenus.h"

#include "winshell/Text.h"

namespace vorlanx::winshell {

using ui::Id;

ListMenus::ListMenus(const WindowControls& controls, HWND window) : m_controls(controls), m_window(window) {
    for (const ui::Menu& menu : ui::menus()) {
        MenuHandle popup(CreatePopupMenu());
        for (const ui::MenuItem& item : menu.items)
            AppendMenuW(popup.get(), MF_STRING, static_cast<UINT_PTR>(ui::controlId(item.id)),
                        widen(item.text).c_str());
        m_menus.emplace_back(menu.list, std::move(popup));
    }
}

void ListMenus::rightClicked(Id listId, POINT at) {
    ListView& list = m_controls.list(listId);
    // A right click below the rows leaves no row selected.
    if (list.rowAt(at) < 0)
        list.clearSelection();
    POINT cursor{};
    GetCursorPos(&cursor);
    popUp(listId, cursor);
}

void ListMenus::keyboardMenu(Id listId) {
    const ListView& list = m_controls.list(listId);
    RECT row{};
    POINT at{0, 0};
    if (const int selected = list.selectedRow(); selected >= 0) {
        row.left = LVIR_BOUNDS;
        SendMessageW(list.hwnd(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(selected), FALSE);
        if (SendMessageW(list.hwnd(), LVM_GETITEMRECT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(&row)))
            at = {row.left + 8, row.bottom};
    }
    ClientToScreen(list.hwnd(), &at);
    popUp(listId, at);
}

void ListMenus::popUp(Id listId, POINT screen) {
    const ui::Menu* menu = nullptr;
    for (const ui::Menu& m : ui::menus())
        menu = m.list == listId ? &m : menu;
    HMENU popup = nullptr;
    for (const auto& [id, handle] : m_menus)
        popup = id == listId ? handle.get() : popup;
    if (!menu || !popup)
        return;
    const bool selected = m_controls.list(listId).selectedRow() >= 0;
    for (const ui::MenuItem& item : menu->items) {
        const UINT enabled = !item.needsSelection || selected ? MF_ENABLED : MF_GRAYED;
        EnableMenuItem(popup, static_cast<UINT>(ui::controlId(item.id)), MF_BYCOMMAND | enabled);
    }
    SetForegroundWindow(m_window);
    TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, m_window, nullptr);
    PostMessageW(m_window, WM_NULL, 0, 0);
}

void ListMenus::addDevices() {
    ListView& terminals = m_controls.list(Id::TerminalList);
    const ListView& online = m_controls.list(Id::OnlineList);
    terminals.clear();
    constexpr int kDataConfigPage = static_cast<int>(ui::Page::DataConfig);
    m_controls.tabs().setCurrent(kDataConfigPage);
    if (pageShown)
        pageShown(kDataConfigPage);
    for (int i = 0; i < online.rowCount(); ++i)
        terminals.addRow({online.cell(i, 0), online.cell(i, 1), online.cell(i, 2)});
    copyToSendFields(terminals, 0);
}

void ListMenus::removeSelected() {
    ListView& terminals = m_controls.list(Id::TerminalList);
    if (const int row = terminals.selectedRow(); row >= 0)
        terminals.deleteRow(row);
}

void ListMenus::removeAll() {
    m_controls.list(Id::TerminalList).clear();
}

void ListMenus::copyToSendFields(const ListView& list, int row) {
    const bool exists = row >= 0 && row < list.rowCount();
    m_controls.address(Id::SendAddress).setAddress(exists ? list.cell(row, 0) : std::string());
    m_controls[Id::SendPort].setText(exists ? list.cell(row, 1) : std::string());
    m_controls[Id::SendMachine].setText(exists ? list.cell(row, 2) : std::string());
}

} // namespace vorlanx::winshell
