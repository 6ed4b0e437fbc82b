#pragma once

#include "ui/Controls.h"
#include "winshell/Controls.h"

namespace vorlanx::winshell {

// Where the Win32 window puts each control of the shared table, in client coordinates of the
// main window at 96 DPI. The table gives the structure (area, group, page, row and column); the
// pixel sizes here are this window's own, chosen to match the Qt window's look at its 8-point font.
Box layoutBox(const ui::Control& control);

// The part of the tab control where the pages' controls sit.
Box pageArea();

// The height a combo box is created with: its own line and the dropped list below it.
inline constexpr int kComboDropHeight = 160;

} // namespace vorlanx::winshell
