#include "shell/Widgets.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTreeWidget>

namespace vorlanx::shell {

QPushButton* makeButton(const char* name, const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromUtf8(name));
    return b;
}

QLineEdit* makeLineEdit(const char* name, const QString& text, QWidget* parent) {
    auto* e = new QLineEdit(text, parent);
    e->setObjectName(QString::fromUtf8(name));
    return e;
}

QLineEdit* makeAddressEdit(const char* name, const QString& text, QWidget* parent) {
    auto* e = makeLineEdit(name, text, parent);
    // Four numbers 0-255 separated by dots; partial input is allowed while typing.
    static const QRegularExpression pattern(
        QStringLiteral("^((25[0-5]|2[0-4]\\d|1?\\d?\\d)?\\.){0,3}(25[0-5]|2[0-4]\\d|1?\\d?\\d)?$"));
    e->setValidator(new QRegularExpressionValidator(pattern, e));
    return e;
}

QCheckBox* makeCheck(const char* name, const QString& caption, QWidget* parent) {
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(QString::fromUtf8(name));
    return c;
}

QRadioButton* makeRadio(const char* name, const QString& caption, QWidget* parent) {
    auto* r = new QRadioButton(caption, parent);
    r->setObjectName(QString::fromUtf8(name));
    return r;
}

QLabel* makeLabel(const QString& text, QWidget* parent, const char* name) {
    auto* l = new QLabel(text, parent);
    if (name)
        l->setObjectName(QString::fromUtf8(name));
    return l;
}

QGroupBox* makeGroup(const char* name, const QString& caption, QWidget* parent) {
    auto* g = new QGroupBox(caption, parent);
    g->setObjectName(QString::fromUtf8(name));
    return g;
}

QTreeWidget* makeList(const char* name, const QStringList& headers, const QList<int>& widths, QWidget* parent) {
    auto* list = new QTreeWidget(parent);
    list->setObjectName(QString::fromUtf8(name));
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setHeaderLabels(headers);
    for (int i = 0; i < widths.size(); ++i)
        list->setColumnWidth(i, widths[i]);
    list->header()->setStretchLastSection(true);
    return list;
}

} // namespace vorlanx::shell
