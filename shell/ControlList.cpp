#include "shell/ControlList.h"

#include "shell/AppendBox.h"
#include "shell/TimeField.h"
#include "shell/Widgets.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTabWidget>

namespace vorlanx::shell {

namespace {

QString escaped(QString text) {
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    text.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    text.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    return text;
}

// The tab whose page holds widget, or "" outside the tab control.
QString pageOf(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QWidget* stack = w->parentWidget();
        if (!stack || !qobject_cast<const QStackedWidget*>(stack))
            continue;
        if (const auto* tabs = qobject_cast<const QTabWidget*>(stack->parentWidget())) {
            const int index = tabs->indexOf(const_cast<QWidget*>(w));
            if (index >= 0)
                return tabs->tabText(index);
        }
    }
    return {};
}

} // namespace

QString liveCaption(const QWidget* widget) {
    if (const auto* b = qobject_cast<const QAbstractButton*>(widget))
        return b->text();
    if (const auto* g = qobject_cast<const QGroupBox*>(widget))
        return g->title();
    if (const auto* e = qobject_cast<const QLineEdit*>(widget))
        return e->text();
    if (const auto* t = dynamic_cast<const TimeField*>(widget))
        return t->text();
    if (const auto* l = qobject_cast<const QLabel*>(widget))
        return l->text();
    if (const auto* box = dynamic_cast<const AppendBox*>(widget))
        return box->text();
    if (const auto* c = qobject_cast<const QComboBox*>(widget))
        return c->currentText();
    return {};
}

QStringList controlLines(QWidget* window) {
    QHash<int, QWidget*> widgets;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const ui::Id id = controlOf(w);
        if (id != ui::Id::None)
            widgets.insert(ui::controlId(id), w);
    }
    QStringList lines;
    for (const ui::Control& c : ui::controls()) {
        const QWidget* w = widgets.value(ui::controlId(c.id));
        if (!w)
            continue;
        const QPoint at = w->mapTo(window, QPoint(0, 0));
        lines << QStringList{w->objectName(),
                             QString::number(ui::controlId(c.id)),
                             qText(ui::windowClass(c.kind)),
                             escaped(liveCaption(w)),
                             QString::number(at.x()),
                             QString::number(at.y()),
                             QString::number(w->width()),
                             QString::number(w->height()),
                             pageOf(w)}
                     .join(QLatin1Char('\t'));
    }
    return lines;
}

} // namespace vorlanx::shell
