#pragma once

#include "ui/Controls.h"
#include "winshell/Controls.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vorlanx::winshell {

// Every control of the shared table, made as the Win32 control of its kind, as a direct child of
// the main window (a group box or a page only frames its controls, so that every notification
// comes to the one window procedure), and found again by its ID.
class WindowControls {
public:
    WindowControls() = default;
    WindowControls(const WindowControls&) = delete;
    WindowControls& operator=(const WindowControls&) = delete;

    bool create(HWND window, const Dpi& dpi);

    Control& operator[](ui::Id id) const { return *m_controls.at(ui::controlId(id)); }
    Control* find(int id) const;
    template <typename T> T& as(ui::Id id) const { return dynamic_cast<T&>((*this)[id]); }

    Button& button(ui::Id id) const { return as<Button>(id); }
    Edit& edit(ui::Id id) const { return as<Edit>(id); }
    AppendBox& box(ui::Id id) const { return as<AppendBox>(id); }
    ListView& list(ui::Id id) const { return as<ListView>(id); }
    ComboBox& combo(ui::Id id) const { return as<ComboBox>(id); }
    IpAddress& address(ui::Id id) const { return as<IpAddress>(id); }
    TabControl& tabs() const { return as<TabControl>(ui::Id::Pages); }
    StatusBar& statusBar() const { return as<StatusBar>(ui::Id::StatusBar); }

    // The up/down buttons beside a time field, by the field's ID.
    HWND upDownOf(int fieldId) const;
    // The time field of an up/down control, or 0.
    int fieldOfUpDown(HWND upDown) const;

    // A control of this window alone (not in the shared table) on a page: shown with its page.
    void addPageControl(ui::Page page, std::unique_ptr<Control> control);

    bool isPageControl(HWND hwnd) const;

    // Shows the controls of one page and hides those of the others.
    void showPage(int page) const;
    // Moves every control to its place at a new DPI and gives them the font.
    void relayout(const Dpi& dpi, HFONT font) const;

    // The operator's value of a control as a window shows it: the text of an edit or label, the
    // chosen item of a combo box, the address of an address box.
    std::string shownText(ui::Id id) const;

private:
    std::map<int, std::unique_ptr<Control>> m_controls;
    std::map<int, HWND> m_upDowns;
    std::vector<std::pair<ui::Page, std::unique_ptr<Control>>> m_pageExtras;
};

} // namespace vorlanx::winshell
