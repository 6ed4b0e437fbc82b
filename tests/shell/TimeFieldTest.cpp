#include "shell/TimeField.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QWheelEvent>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QTest>

#include "shell/PeriodPage.h"

using vorlanx::shell::PeriodPage;
using vorlanx::shell::TimeField;

// The period time fields: one part selected at a time, every rule keeping HH:MM:SS valid.
class TimeFieldTest : public QObject {
    Q_OBJECT

    PeriodPage* m_page = nullptr;
    TimeField* m_field = nullptr;

    void select(int start) { m_field->setSelection(start, 2); }
    QString selected() const { return m_field->text().mid(m_field->selectionStart(), m_field->selectionLength()); }
    void type(const char* keys) {
        for (const char* k = keys; *k; ++k)
            QTest::keyClick(m_field, *k);
    }
    void clickAt(int caret) {
        // Click at the first point of the box whose nearest character boundary is the caret.
        auto* edit = m_field->findChild<QLineEdit*>();
        const int y = edit->height() / 2;
        int x = 0;
        while (x < edit->width() - 1 && edit->cursorPositionAt(QPoint(x, y)) < caret)
            ++x;
        QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(x, y));
    }

private slots:
    void init() {
        m_page = new PeriodPage(nullptr);
        m_page->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_page));
        m_field = m_page->findChild<TimeField*>(QStringLiteral("编辑框早A"));
        QVERIFY(m_field);
        m_field->setFocus();
    }
    void cleanup() { delete m_page; }

    void clickSelectsThePartAtTheCaret_data() {
        QTest::addColumn<int>("caret");
        QTest::addColumn<int>("start");
        QTest::newRow("before the first colon") << 2 << 0;
        QTest::newRow("in the minutes") << 4 << 3;
        QTest::newRow("before the second colon") << 5 << 3;
        QTest::newRow("after the last character") << 8 << 6;
    }
    void clickSelectsThePartAtTheCaret() {
        QFETCH(int, caret);
        QFETCH(int, start);
        clickAt(caret);
        QCOMPARE(m_field->selectionStart(), start);
        QCOMPARE(m_field->selectionLength(), 2);
    }

    void arrowsMoveBetweenParts() {
        select(6);
        QTest::keyClick(m_field, Qt::Key_Right);
        QCOMPARE(m_field->selectionStart(), 0); // seconds wrap round to hours
        QTest::keyClick(m_field, Qt::Key_Right);
        QCOMPARE(m_field->selectionStart(), 3);
        QTest::keyClick(m_field, Qt::Key_Left);
        QCOMPARE(m_field->selectionStart(), 0);
        QTest::keyClick(m_field, Qt::Key_Left);
        QCOMPARE(m_field->selectionStart(), 0); // no wrap to the left
        QCOMPARE(m_field->selectionLength(), 2);
    }

    void upAndDownWrapEachPart() {
        m_field->setText(QStringLiteral("23:00:59"));
        select(0);
        QTest::keyClick(m_field, Qt::Key_Up);
        QCOMPARE(m_field->text(), QStringLiteral("00:00:59"));
        select(3);
        QTest::keyClick(m_field, Qt::Key_Down);
        QCOMPARE(m_field->text(), QStringLiteral("00:59:59"));
        select(6);
        m_field->stepBy(1); // the up button
        QCOMPARE(m_field->text(), QStringLiteral("00:59:00"));
        QCOMPARE(selected(), QStringLiteral("00"));
        QCOMPARE(m_field->selectionStart(), 6);
    }

    void upWithNothingSelectedAdjustsTheHours() {
        m_field->setText(QStringLiteral("05:00:01"));
        m_field->setSelection(4, 0);
        m_field->stepBy(1);
        QCOMPARE(m_field->text(), QStringLiteral("06:00:01"));
    }

    void digitsTypeIntoTheSelectedPart() {
        m_field->setText(QStringLiteral("05:30:05"));
        select(0);
        type("1");
        QCOMPARE(m_field->text().left(2), QStringLiteral("01"));
        type("2");
        QCOMPARE(m_field->text().left(2), QStringLiteral("12"));
        type("3");
        QCOMPARE(m_field->text().left(2), QStringLiteral("03")); // 123 > 23 restarts from the digit
        select(3);
        m_field->setText(QStringLiteral("03:30:05"));
        select(3);
        type("45");
        QCOMPARE(m_field->text(), QStringLiteral("03:45:05"));
        select(6);
        type("9");
        QCOMPARE(m_field->text(), QStringLiteral("03:45:59"));
    }

    void overLargeValuesAndLettersFollowTheDigitRule() {
        m_field->setText(QStringLiteral("15:05:00"));
        select(0);
        type("7");
        QCOMPARE(m_field->text(), QStringLiteral("07:05:00")); // 157 > 23
        select(3);
        type("x");
        QCOMPARE(m_field->text(), QStringLiteral("07:50:00")); // a letter types a 0
        m_field->setText(QStringLiteral("07:12:00"));
        select(3);
        type("x");
        QCOMPARE(m_field->text(), QStringLiteral("07:00:00")); // 120 > 59
    }

    void deletingCannotBreakTheForm() {
        select(0);
        QTest::keyClick(m_field, Qt::Key_Delete);
        QTest::keyClick(m_field, Qt::Key_Backspace);
        QCOMPARE(m_field->text(), QStringLiteral("05:00:01"));
    }

    void checkBoxesLockTheirFields() {
        auto* check = m_page->findChild<QCheckBox*>(QStringLiteral("选择框_早时间"));
        auto* end = m_page->findChild<TimeField*>(QStringLiteral("编辑框早B"));
        QTest::mouseClick(check, Qt::LeftButton);
        QVERIFY(!m_field->isEnabled());
        QVERIFY(!end->isEnabled());
        // The up button beside a locked field changes nothing either.
        QStyleOptionSpinBox option;
        option.initFrom(m_field);
        option.subControls = QStyle::SC_SpinBoxUp;
        const QRect up = m_field->style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp, m_field);
        QTest::mouseClick(m_field, Qt::LeftButton, {}, up.center());
        QCOMPARE(m_field->text(), QStringLiteral("05:00:01"));
        QTest::mouseClick(check, Qt::LeftButton);
        QVERIFY(m_field->isEnabled());
        QVERIFY(end->isEnabled());
        auto* snack = m_page->findChild<QCheckBox*>(QStringLiteral("选择框_夜宵金额"));
        QTest::mouseClick(snack, Qt::LeftButton);
        QVERIFY(!m_page->findChild<QLineEdit*>(QStringLiteral("编辑框_金额4"))->isEnabled());
    }

    // Only the field's own rules act: no page keys, no wheel, no part chosen by another button,
    // no digit but the ASCII ones.
    void nothingButTheRulesChangesTheField() {
        select(0);
        QTest::keyClick(m_field, Qt::Key_PageUp);
        QTest::keyClick(m_field, Qt::Key_PageDown);
        QCOMPARE(m_field->text(), QStringLiteral("05:00:01"));

        auto* edit = m_field->findChild<QLineEdit*>();
        const QPoint middle = edit->rect().center();
        QWheelEvent wheel(middle, edit->mapToGlobal(middle), {}, QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(m_field, &wheel);
        QCOMPARE(m_field->text(), QStringLiteral("05:00:01"));

        m_field->setSelection(7, 0);
        QTest::mouseClick(edit, Qt::RightButton, {}, edit->rect().topLeft() + QPoint(1, edit->height() / 2));
        QCOMPARE(m_field->selectionLength(), 0);

        select(3);
        QKeyEvent fullWidthThree(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(QChar(0xFF13)));
        QApplication::sendEvent(m_field, &fullWidthThree);
        // 00 then a non-ASCII digit: 0, as a letter would.
        QCOMPARE(m_field->text(), QStringLiteral("05:00:01"));
        QTest::keyClick(m_field, '3');
        QCOMPARE(m_field->text(), QStringLiteral("05:03:01"));
    }

    void aLongerStoredValueIsShownUnchanged() {
        m_field->setText(QStringLiteral("05:00:01:99"));
        QCOMPARE(m_field->text(), QStringLiteral("05:00:01:99"));
    }
};

QTEST_MAIN(TimeFieldTest)
#include "TimeFieldTest.moc"
