#pragma once

#include "ui/Controls.h"
#include "ui/TimeRules.h"

#include <QAbstractSpinBox>

namespace vorlanx::shell {

// A meal-period time as HH:MM:SS, edited one part at a time: a click, the arrow keys, typed
// digits and the up/down buttons act on the selected part (hours, minutes or seconds) only, and
// every rule keeps the text a valid time of day.
class TimeField : public QAbstractSpinBox {
public:
    // A field of the window's description, showing its starting time.
    TimeField(ui::Id id, QWidget* parent);

    QString text() const;
    void setText(const QString& text);

    // The up/down buttons and the Up/Down keys: +1 or -1 on the selected part.
    void stepBy(int steps) override;

    // Selection as the rules see it: start and length (the caret when nothing is selected).
    int selectionStart() const;
    int selectionLength() const;
    void setSelection(int start, int length);

protected:
    StepEnabled stepEnabled() const override { return StepUpEnabled | StepDownEnabled; }
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    friend class TimeLineEdit;
    ui::TimeFieldState state() const;
    void apply(const ui::TimeFieldState& field);
    // Selects the part under the caret.
    void selectPart();
};

} // namespace vorlanx::shell
