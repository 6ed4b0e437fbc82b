#include "shell/TimeField.h"

#include "shell/Widgets.h"
#include "ui/TimeRules.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWheelEvent>

namespace vorlanx::shell {

// The text part of a time field: a click selects the part under the caret.
class TimeLineEdit : public QLineEdit {
public:
    TimeLineEdit(TimeField* field) : QLineEdit(field), m_field(field) {}

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        QLineEdit::mouseReleaseEvent(event);
        if (event->button() == Qt::LeftButton)
            m_field->selectPart();
    }

private:
    TimeField* m_field;
};

TimeField::TimeField(ui::Id id, QWidget* parent) : QAbstractSpinBox(parent) {
    tagControl(this, id);
    setLineEdit(new TimeLineEdit(this));
    // Typing goes through the digit rule, never straight into the text; deleting or pasting
    // would break the HH:MM:SS form.
    lineEdit()->setReadOnly(true);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setText(captionOf(id));
}

QString TimeField::text() const {
    return lineEdit()->text();
}

void TimeField::setText(const QString& text) {
    lineEdit()->setText(text);
}

int TimeField::selectionStart() const {
    const int start = lineEdit()->selectionStart();
    return start >= 0 ? start : lineEdit()->cursorPosition();
}

int TimeField::selectionLength() const {
    return static_cast<int>(lineEdit()->selectedText().size());
}

void TimeField::setSelection(int start, int length) {
    // A start past the end reads back as the text length; a negative one as 0.
    start = std::clamp(start, 0, static_cast<int>(text().size()));
    lineEdit()->setSelection(start, length);
    if (length == 0)
        lineEdit()->setCursorPosition(start);
}

ui::TimeFieldState TimeField::state() const {
    return {text().toStdString(), selectionStart(), selectionLength()};
}

void TimeField::apply(const ui::TimeFieldState& field) {
    const QString t = QString::fromStdString(field.text);
    if (t != text())
        setText(t);
    setSelection(field.start, field.length);
}

void TimeField::selectPart() {
    apply(ui::selectTimePart(state()));
}

void TimeField::stepBy(int steps) {
    for (int i = 0; i < std::abs(steps); ++i)
        apply(ui::stepTime(state(), steps > 0 ? 1 : -1));
}

void TimeField::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Right:
        apply(ui::pressTimeKey(state(), ui::TimeKey::Right));
        return;
    case Qt::Key_Left:
        apply(ui::pressTimeKey(state(), ui::TimeKey::Left));
        return;
    case Qt::Key_Up:
        apply(ui::pressTimeKey(state(), ui::TimeKey::Up));
        return;
    case Qt::Key_Down:
        apply(ui::pressTimeKey(state(), ui::TimeKey::Down));
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
        apply(ui::typeTimeCharacter(state(), typed.at(0).unicode()));
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
    selectPart();
}

} // namespace vorlanx::shell
