#include "shell/TimeField.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QLineEdit>

namespace vorlanx::shell {

namespace {
constexpr int kLength = 8; // HH:MM:SS
constexpr int kMinutes = 3;
constexpr int kSeconds = 6;

int limitOf(int start) { return start < kMinutes ? 23 : 59; }

QString twoDigits(int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); }
} // namespace

// The text part of a time field: a click selects the part under the caret.
class TimeLineEdit : public QLineEdit {
public:
    TimeLineEdit(TimeField* field) : QLineEdit(field), m_field(field) {}

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        QLineEdit::mouseReleaseEvent(event);
        if (event->button() == Qt::LeftButton)
            m_field->selectPart(m_field->selectionStart());
    }

private:
    TimeField* m_field;
};

TimeField::TimeField(const char* name, const QString& text, QWidget* parent) : QAbstractSpinBox(parent) {
    setObjectName(QString::fromUtf8(name));
    setLineEdit(new TimeLineEdit(this));
    // Typing goes through the digit rule, never straight into the text; deleting or pasting
    // would break the HH:MM:SS form.
    lineEdit()->setReadOnly(true);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setText(text);
}

QString TimeField::text() const { return lineEdit()->text(); }

void TimeField::setText(const QString& text) { lineEdit()->setText(text); }

int TimeField::selectionStart() const {
    const int start = lineEdit()->selectionStart();
    return start >= 0 ? start : lineEdit()->cursorPosition();
}

int TimeField::selectionLength() const { return static_cast<int>(lineEdit()->selectedText().size()); }

void TimeField::setSelection(int start, int length) {
    // A start past the end reads back as the text length; a negative one as 0.
    start = std::clamp(start, 0, static_cast<int>(text().size()));
    lineEdit()->setSelection(start, length);
    if (length == 0)
        lineEdit()->setCursorPosition(start);
}

void TimeField::selectPart(int position) {
    const int start = position <= 2 ? 0 : position <= 5 ? kMinutes : kSeconds;
    setSelection(start, 2);
}

void TimeField::replaceSelection(int value) {
    const int start = selectionStart();
    QString t = text();
    t.replace(start, selectionLength(), twoDigits(value));
    setText(t);
    setSelection(start, 2);
}

void TimeField::adjust(int delta) {
    if (selectionLength() == 0)
        setSelection(0, 2);
    const int start = selectionStart();
    int v = lineEdit()->selectedText().toInt() + delta;
    const int limit = limitOf(start);
    if (v > limit)
        v = 0;
    else if (v < 0)
        v = limit;
    replaceSelection(v);
}

void TimeField::typeDigit(QChar c) {
    // Only a part is ever overwritten: with nothing selected the part under the caret is.
    if (selectionLength() == 0)
        selectPart(selectionStart());
    // Only the ASCII digits count; any other character, a full-width digit too, types a 0.
    const int d = c >= QLatin1Char('0') && c <= QLatin1Char('9') ? c.digitValue() : 0;
    int n = (lineEdit()->selectedText() + QString::number(d)).toInt();
    if (n > limitOf(selectionStart()))
        n = d;
    replaceSelection(n);
}

void TimeField::stepBy(int steps) {
    for (int i = 0; i < std::abs(steps); ++i)
        adjust(steps > 0 ? 1 : -1);
    selectPart(selectionStart());
}

void TimeField::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Right: {
        int start = std::min(selectionStart() + 3, kLength);
        if (start == kLength)
            start = 0; // the seconds wrap round to the hours
        selectPart(start);
        return;
    }
    case Qt::Key_Left:
        selectPart(std::max(selectionStart() - 1, 0));
        return;
    case Qt::Key_Up:
        stepBy(1);
        return;
    case Qt::Key_Down:
        stepBy(-1);
        return;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    // A spin box would step ten at a time on these; a time field has no such rule.
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return;
    default:
        break;
    }
    const QString typed = event->text();
    if (typed.size() == 1 && typed.at(0).isPrint() && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        typeDigit(typed.at(0));
        return;
    }
    QAbstractSpinBox::keyPressEvent(event);
}

void TimeField::wheelEvent(QWheelEvent* event) {
    // The wheel is not one of the field's rules: it scrolls whatever holds the field instead.
    event->ignore();
}

void TimeField::focusInEvent(QFocusEvent* event) {
    QAbstractSpinBox::focusInEvent(event);
    selectPart(selectionStart());
}

} // namespace vorlanx::shell
