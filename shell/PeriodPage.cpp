#include "shell/PeriodPage.h"

#include "shell/TimeField.h"
#include "shell/Widgets.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vorlanx::shell {

PeriodPage::PeriodPage(QWidget* parent) : QWidget(parent) {
    using ui::Id;
    setObjectName(qText(ui::pageEntry(ui::Page::Periods).name));
    auto* times = makeGroup(Id::TimeGroup, this);
    auto* money = makeGroup(Id::AmountGroup, this);
    auto* timeGrid = new QGridLayout(times);
    auto* moneyGrid = new QGridLayout(money);
    timeGrid->setContentsMargins(6, 4, 6, 4);
    moneyGrid->setContentsMargins(6, 4, 6, 4);
    for (int i = 0; i < kPeriods; ++i) {
        const ui::PeriodIds& ids = ui::kPeriodIds[i];
        const auto k = static_cast<std::size_t>(i);
        timeChecks[k] = makeCheck(ids.timeCheck, times);
        starts[k] = new TimeField(ids.start, times);
        ends[k] = new TimeField(ids.end, times);
        for (auto* field : {starts[k], ends[k]})
            field->setFixedWidth(76);
        connect(timeChecks[k], &QCheckBox::clicked, this, [start = starts[k], end = ends[k]](bool checked) {
            start->setEnabled(!checked);
            end->setEnabled(!checked);
        });
        placeInGrid(timeGrid, timeChecks[k]);
        placeInGrid(timeGrid, starts[k]);
        placeInGrid(timeGrid, makeLabel(ids.dash, times));
        placeInGrid(timeGrid, ends[k]);

        amountChecks[k] = makeCheck(ids.amountCheck, money);
        amounts[k] = makeLineEdit(ids.amount, money);
        amounts[k]->setFixedWidth(48);
        connect(amountChecks[k], &QCheckBox::clicked, amounts[k],
                [amount = amounts[k]](bool checked) { amount->setEnabled(!checked); });
        placeInGrid(moneyGrid, amountChecks[k]);
        placeInGrid(moneyGrid, amounts[k]);
    }
    periodsOne = makeButton(Id::PeriodsOneButton, times);
    periodsAll = makeButton(Id::PeriodsAllButton, times);
    amountsOne = makeButton(Id::AmountsOneButton, money);
    amountsAll = makeButton(Id::AmountsAllButton, money);
    for (auto* b : {periodsOne, periodsAll, amountsOne, amountsAll})
        b->setFixedWidth(60);
    for (auto* grid : {timeGrid, moneyGrid})
        grid->setHorizontalSpacing(4);
    for (QWidget* w : {periodsOne, periodsAll})
        placeInGrid(timeGrid, w);
    for (QWidget* w : {amountsOne, amountsAll})
        placeInGrid(moneyGrid, w);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 4, 4, 4);
    row->addWidget(times, 3);
    row->addWidget(money, 2);
}

} // namespace vorlanx::shell
