// The live Qt window against the window's description that the Win32 window also renders: every
// control is there under its name, of its kind, with its caption, on its page, inside its group
// and at its row and column. This is what keeps the two windows from drifting apart.
#include "shell/ControlList.h"
#include "TestService.h"
#include "shell/AppendBox.h"
#include "shell/MainWindow.h"
#include "shell/TimeField.h"
#include "shell/Widgets.h"
#include "ui/Controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

using namespace vorlanx;

namespace {

bool isOfKind(const QWidget* w, ui::Kind kind) {
    switch (kind) {
    case ui::Kind::Label:
        return qobject_cast<const QLabel*>(w);
    case ui::Kind::Button:
        return qobject_cast<const QPushButton*>(w);
    case ui::Kind::Check:
        return qobject_cast<const QCheckBox*>(w);
    case ui::Kind::Radio:
        return qobject_cast<const QRadioButton*>(w);
    case ui::Kind::Group:
        return qobject_cast<const QGroupBox*>(w);
    case ui::Kind::Edit:
    case ui::Kind::AddressEdit:
    case ui::Kind::ServerEdit:
        return qobject_cast<const QLineEdit*>(w) && qobject_cast<const QLineEdit*>(w)->echoMode() == QLineEdit::Normal;
    case ui::Kind::PasswordEdit:
        return qobject_cast<const QLineEdit*>(w) &&
               qobject_cast<const QLineEdit*>(w)->echoMode() == QLineEdit::Password;
    case ui::Kind::TimeEdit:
        return dynamic_cast<const shell::TimeField*>(w);
    case ui::Kind::TextBox:
        return qobject_cast<const QPlainTextEdit*>(w);
    case ui::Kind::Combo:
        return qobject_cast<const QComboBox*>(w);
    case ui::Kind::ListView:
        return qobject_cast<const QTreeWidget*>(w);
    case ui::Kind::Tab:
        return qobject_cast<const QTabWidget*>(w);
    case ui::Kind::StatusBar:
        return qobject_cast<const QStatusBar*>(w);
    }
    return false;
}

// The grid a widget sits in, found in its parent widget's layout or a layout nested in it.
QGridLayout* gridOf(QWidget* w) {
    QWidget* parent = w->parentWidget();
    if (!parent || !parent->layout())
        return nullptr;
    QList<QLayout*> layouts{parent->layout()};
    while (!layouts.isEmpty()) {
        QLayout* layout = layouts.takeFirst();
        if (layout->indexOf(w) >= 0)
            return qobject_cast<QGridLayout*>(layout);
        for (int i = 0; i < layout->count(); ++i) {
            if (QLayout* inner = layout->itemAt(i)->layout())
                layouts << inner;
        }
    }
    return nullptr;
}

} // namespace

class ControlListTest : public QObject, protected WindowFixture {
    Q_OBJECT

    QHash<int, QWidget*> liveControls() {
        QHash<int, QWidget*> found;
        for (QWidget* w : m_window->findChildren<QWidget*>()) {
            if (shell::controlOf(w) != ui::Id::None)
                found.insert(ui::controlId(shell::controlOf(w)), w);
        }
        return found;
    }

private slots:
    void init() {
        makeService();
        QVERIFY(openWindow());
    }
    void cleanup() { closeAll(); }

    void everyControlIsLiveAsDescribed() {
        const auto live = liveControls();
        auto* pages = child<QTabWidget>("选择夹1");
        QVERIFY(pages);
        for (const ui::Control& c : ui::controls()) {
            const QString what = QString::number(ui::controlId(c.id)) + QLatin1Char(' ') + shell::qText(c.name);
            QWidget* w = live.value(ui::controlId(c.id));
            QVERIFY2(w, qPrintable(what + " is missing"));
            QCOMPARE(w->objectName(), shell::qText(c.name));
            QVERIFY2(isOfKind(w, c.kind), qPrintable(what + " is of another kind"));
            QCOMPARE(shell::liveCaption(w), shell::qText(c.caption));
            if (c.parent != ui::Id::None)
                QVERIFY2(live.value(ui::controlId(c.parent))->isAncestorOf(w),
                         qPrintable(what + " is outside its group"));
            const bool onPage = c.page != ui::Page::None;
            const QWidget* page = onPage ? pages->widget(static_cast<int>(c.page)) : nullptr;
            QVERIFY2(onPage ? page->isAncestorOf(w) : w == pages || !pages->isAncestorOf(w),
                     qPrintable(what + " is on another page"));
            if (QGridLayout* grid = gridOf(w)) {
                int row = -1, column = -1, rowSpan = 0, columnSpan = 0;
                grid->getItemPosition(grid->indexOf(w), &row, &column, &rowSpan, &columnSpan);
                QCOMPARE(QList<int>({row, column, rowSpan, columnSpan}),
                         QList<int>({c.row, c.column, c.rowSpan, c.columnSpan}));
            }
        }
        QCOMPARE(pages->count(), static_cast<int>(ui::pages().size()));
        for (const ui::PageEntry& p : ui::pages())
            QCOMPARE(pages->tabText(static_cast<int>(p.page)), shell::qText(p.name));
    }

    void listNamesEveryControlWithItsPlaceAndPage() {
        for (int i = pages()->count() - 1; i >= 0; --i) {
            pages()->setCurrentIndex(i);
            QCoreApplication::processEvents();
        }
        const QStringList lines = shell::controlLines(m_window);
        QCOMPARE(lines.size(), static_cast<qsizetype>(ui::controls().size()));
        const QRect client = m_window->rect();
        for (const QString& line : lines) {
            const QStringList f = line.split(QLatin1Char('\t'));
            QCOMPARE(f.size(), 9);
            const ui::Control& c = ui::control(static_cast<ui::Id>(f[1].toInt()));
            QCOMPARE(f[0], shell::qText(c.name));
            QCOMPARE(f[2], shell::qText(ui::windowClass(c.kind)));
            const QRect place(f[4].toInt(), f[5].toInt(), f[6].toInt(), f[7].toInt());
            QVERIFY2(!place.isEmpty() && client.contains(place), qPrintable(line));
            QCOMPARE(f[8], c.page == ui::Page::None ? QString() : shell::qText(ui::pageEntry(c.page).name));
        }
        // Captions keep their own tabs and line ends on one line.
        m_window->results().appendText(QStringLiteral("a\tb\r\n"));
        const QStringList again = shell::controlLines(m_window);
        QVERIFY(std::any_of(again.begin(), again.end(), [](const QString& l) {
            return l.startsWith(QStringLiteral("编辑框_参数返回\t1041\tEdit\ta\\tb\\r\\n\t"));
        }));
    }

private:
    QTabWidget* pages() { return child<QTabWidget>("选择夹1"); }
};

QTEST_MAIN(ControlListTest)
#include "ControlListTest.moc"
