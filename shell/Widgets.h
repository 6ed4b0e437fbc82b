#pragma once

#include <QString>
#include <QStringList>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QWidget;

namespace vorlanx::shell {

// Small factories that give every control its name as objectName, so that tests and the
// rest of the window find controls by the names the operators' manuals use.
QPushButton* makeButton(const char* name, const QString& caption, QWidget* parent);
QLineEdit* makeLineEdit(const char* name, const QString& text, QWidget* parent);
QLineEdit* makeAddressEdit(const char* name, const QString& text, QWidget* parent);
QCheckBox* makeCheck(const char* name, const QString& caption, QWidget* parent);
QRadioButton* makeRadio(const char* name, const QString& caption, QWidget* parent);
QLabel* makeLabel(const QString& text, QWidget* parent, const char* name = nullptr);
QGroupBox* makeGroup(const char* name, const QString& caption, QWidget* parent);
// A list view with text columns of the given widths (the last one stretches).
QTreeWidget* makeList(const char* name, const QStringList& headers, const QList<int>& widths, QWidget* parent);

} // namespace vorlanx::shell
