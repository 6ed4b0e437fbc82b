#pragma once

#include <QWidget>
#include <array>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace vorlanx::shell {

// Tab page "时段设置": start and end times of the four meal periods and their amounts in fen.
class PeriodPage : public QWidget {
public:
    static constexpr int kPeriods = 4;

    explicit PeriodPage(QWidget* parent);

    std::array<QCheckBox*, kPeriods> timeChecks{};
    std::array<QLineEdit*, kPeriods> starts{};
    std::array<QLineEdit*, kPeriods> ends{};
    std::array<QCheckBox*, kPeriods> amountChecks{};
    std::array<QLineEdit*, kPeriods> amounts{};
    QPushButton* periodsOne;
    QPushButton* periodsAll;
    QPushButton* amountsOne;
    QPushButton* amountsAll;
};

} // namespace vorlanx::shell
