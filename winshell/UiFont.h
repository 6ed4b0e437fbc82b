#pragma once

#include "winshell/Controls.h"
#include "winshell/Handles.h"

#include <string>

namespace vorlanx::winshell {

// The window's font: the first Chinese UI face the system has, in the order a Chinese Windows
// offers them, at the window's point size; the dialog font when none is there.
FontHandle makeUiFont(const Dpi& dpi);
std::wstring uiFontFace();

} // namespace vorlanx::winshell
