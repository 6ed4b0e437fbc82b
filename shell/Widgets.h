#pragma once

#include "ui/Controls.h"

#include <QString>

#include <string_view>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QWidget;

namespace vorlanx::shell {

// The property that carries a widget's control ID, so that a walk of the widget tree finds plain
// labels too, which have no name.
inline constexpr const char* kControlIdProperty = "vorlanxControlId";

inline QString qText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Gives a widget its control's name as objectName (plain labels keep none) and its control ID.
void tagControl(QWidget* widget, ui::Id id);
// The control a widget was made for; Id::None for the widgets of the toolkit's own.
ui::Id controlOf(const QWidget* widget);
QString captionOf(ui::Id id);

// Small factories that make a control of the window's description: its name as objectName, so
// that tests and the rest of the window find controls by the names the operators' manuals use,
// and its caption or starting text.
QPushButton* makeButton(ui::Id id, QWidget* parent);
// Edits, the address, server and password kinds included.
QLineEdit* makeLineEdit(ui::Id id, QWidget* parent);
QCheckBox* makeCheck(ui::Id id, QWidget* parent);
QRadioButton* makeRadio(ui::Id id, QWidget* parent);
QLabel* makeLabel(ui::Id id, QWidget* parent);
QGroupBox* makeGroup(ui::Id id, QWidget* parent);
QComboBox* makeCombo(ui::Id id, QWidget* parent);
// A list view with text columns of the given widths (the last one stretches).
QTreeWidget* makeList(ui::Id id, QWidget* parent);

// Adds a control's widget to the grid of its parent at the row and column the description gives.
void placeInGrid(QGridLayout* grid, QWidget* widget);

} // namespace vorlanx::shell
