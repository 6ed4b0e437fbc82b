#pragma once

#include <QStringList>

class QWidget;

namespace vorlanx::shell {

// The window's controls as the live widget tree has them, one line per control of the window's
// description, in its order, tab-separated: name, control ID, window class, caption, x, y, width,
// height (in the main window's client coordinates) and the tab page ("" outside the tab control).
// A control missing from the tree is left out, which a comparison with the other window shows.
// Tabs and line ends inside a caption are written as \t, \r and \n, a backslash as \\.
QStringList controlLines(QWidget* window);

// The live text of a control widget: caption, title or text; empty for lists, tabs and the
// status bar, whose captions are not one text.
QString liveCaption(const QWidget* widget);

} // namespace vorlanx::shell
