#include "shell/Widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTreeWidget>

namespace vorlanx::shell {

void tagControl(QWidget* widget, ui::Id id) {
    const ui::Control& c = ui::control(id);
    if (!c.name.empty())
        widget->setObjectName(qText(c.name));
    widget->setProperty(kControlIdProperty, ui::controlId(id));
}

ui::Id controlOf(const QWidget* widget) {
    bool ok = false;
    const int id = widget->property(kControlIdProperty).toInt(&ok);
    return ok ? static_cast<ui::Id>(id) : ui::Id::None;
}

QString captionOf(ui::Id id) {
    return qText(ui::control(id).caption);
}

QPushButton* makeButton(ui::Id id, QWidget* parent) {
    auto* b = new QPushButton(captionOf(id), parent);
    tagControl(b, id);
    return b;
}

QLineEdit* makeLineEdit(ui::Id id, QWidget* parent) {
    const ui::Control& c = ui::control(id);
    auto* e = new QLineEdit(captionOf(id), parent);
    tagControl(e, id);
    if (c.maxLength > 0)
        e->setMaxLength(c.maxLength);
    if (c.kind == ui::Kind::PasswordEdit)
        e->setEchoMode(QLineEdit::Password);
    if (c.kind == ui::Kind::AddressEdit) {
        // The send address: four numbers 0-255 separated by dots; partial input is allowed while
        // typing. The server address box takes any text, which the save checks.
        static const QRegularExpression pattern(
            QStringLiteral("^((25[0-5]|2[0-4]\\d|1?\\d?\\d)?\\.){0,3}(25[0-5]|2[0-4]\\d|1?\\d?\\d)?$"));
        e->setValidator(new QRegularExpressionValidator(pattern, e));
    }
    return e;
}

QCheckBox* makeCheck(ui::Id id, QWidget* parent) {
    auto* c = new QCheckBox(captionOf(id), parent);
    tagControl(c, id);
    return c;
}

QRadioButton* makeRadio(ui::Id id, QWidget* parent) {
    auto* r = new QRadioButton(captionOf(id), parent);
    tagControl(r, id);
    return r;
}

QLabel* makeLabel(ui::Id id, QWidget* parent) {
    auto* l = new QLabel(captionOf(id), parent);
    tagControl(l, id);
    return l;
}

QGroupBox* makeGroup(ui::Id id, QWidget* parent) {
    auto* g = new QGroupBox(captionOf(id), parent);
    tagControl(g, id);
    return g;
}

QComboBox* makeCombo(ui::Id id, QWidget* parent) {
    auto* box = new QComboBox(parent);
    tagControl(box, id);
    for (const std::string_view item : ui::control(id).items)
        box->addItem(qText(item));
    return box;
}

QTreeWidget* makeList(ui::Id id, QWidget* parent) {
    auto* list = new QTreeWidget(parent);
    tagControl(list, id);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    const auto columns = ui::control(id).columns;
    QStringList headers;
    for (const ui::Column& column : columns)
        headers << qText(column.header);
    list->setHeaderLabels(headers);
    for (std::size_t i = 0; i < columns.size(); ++i)
        list->setColumnWidth(static_cast<int>(i), columns[i].width);
    list->header()->setStretchLastSection(true);
    return list;
}

void placeInGrid(QGridLayout* grid, QWidget* widget) {
    const ui::Control& c = ui::control(controlOf(widget));
    grid->addWidget(widget, c.row, c.column, c.rowSpan, c.columnSpan);
}

} // namespace vorlanx::shell
