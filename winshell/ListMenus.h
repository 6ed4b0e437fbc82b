#pragma once

#include "ui/Controls.h"
#include "winshell/Handles.h"
#include "winshell/WindowControls.h"

#include <windows.h>

#include <functional>
#include <vector>

namespace vorlanx::winshell {

// The three pop-up menus of the lists ("设备", "名单", "参数") and the terminal list's own
// actions. A right click anywhere in a list pops its menu up at the mouse cursor (GetCursorPos),
// with the items that need a selected row enabled only when the list has one; the chosen item
// comes back to the window as WM_COMMAND with the item's ID.
class ListMenus {
public:
    ListMenus(const WindowControls& controls, HWND window);

    // A right click on a list, with the point in the list's client coordinates.
    void rightClicked(ui::Id list, POINT at);
    // Shift+F10 or the menu key on a list: its menu at the selected row (at the list's top left
    // when no row is selected).
    void keyboardMenu(ui::Id list);

    // "添加设备": the online list copied into the terminal list, page "数据配置" shown, row 0 in
    // the send fields.
    void addDevices();
    void removeSelected();
    void removeAll();
    // A left click on the online list: the selected row into the send fields.
    void copyToSendFields(const ListView& list, int row);

    // Called after "添加设备" switched the page.
    std::function<void(int page)> pageShown;

private:
    // The list's menu at a point of the screen.
    void popUp(ui::Id list, POINT screen);

    const WindowControls& m_controls;
    HWND m_window;
    std::vector<std::pair<ui::Id, MenuHandle>> m_menus; // by list
};

} // namespace vorlanx::winshell
