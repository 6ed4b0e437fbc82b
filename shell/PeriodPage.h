#pragma once

#include "ui/Controls.h"

#include <QWidget>
#include <array>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace vorlanx::shell {

class TimeField;

// Tab page "时段设置": start and end times of the four meal periods and their amounts in fen.
// Ticking a period's check box marks it for the period commands and locks its fields.
class PeriodPage : public QWidget {
public:
    static constexpr int kPeriods = ui::kPeriods;

    explicit PeriodPage(QWidget* parent);

    std::array<QCheckBox*, kPeriods> timeChecks{};
    std::array<TimeField*, kPeriods> starts{};
    std::array<TimeField*, kPeriods> ends{};
    std::array<QCheckBox*, kPeriods> amountChecks{};
    std::array<QLineEdit*, kPeriods> amounts{};
    QPushButton* periodsOne;
    QPushButton* periodsAll;
    QPushButton* amountsOne;
    QPushButton* amountsAll;
};

} // namespace vorlanx::shell
