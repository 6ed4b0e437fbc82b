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

namespace {
struct PeriodSpec {
    const char* timeCheck;
    const char* start;
    const char* startText;
    const char* end;
    const char* endText;
    const char* amountCheck;
    const char* amount;
    const char* meal;
};
constexpr PeriodSpec kSpecs[PeriodPage::kPeriods] = {
    {"选择框_早时间", "编辑框早A", "05:00:01", "编辑框早B", "09:30:01", "选择框_早餐金额", "编辑框_金额1", "早餐"},
    {"选择框_中时间", "编辑框中A", "09:31:01", "编辑框中B", "14:00:01", "选择框_中餐金额", "编辑框_金额2", "中餐"},
    {"选择框_晚时间", "编辑框晚A", "14:01:01", "编辑框晚B", "19:00:01", "选择框_晚餐金额", "编辑框_金额3", "晚餐"},
    {"选择框_夜时间", "编辑框夜A", "19:01:01", "编辑框夜B", "23:59:59", "选择框_夜宵金额", "编辑框_金额4", "夜宵"},
};

} // namespace

PeriodPage::PeriodPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("时段设置"));
    auto* times = makeGroup("分组框6", QStringLiteral("时间"), this);
    auto* money = makeGroup("分组框7", QStringLiteral("金额（分）"), this);
    auto* timeGrid = new QGridLayout(times);
    auto* moneyGrid = new QGridLayout(money);
    timeGrid->setContentsMargins(6, 4, 6, 4);
    moneyGrid->setContentsMargins(6, 4, 6, 4);
    for (int i = 0; i < kPeriods; ++i) {
        const auto& s = kSpecs[i];
        const auto k = static_cast<std::size_t>(i);
        const QString meal = QString::fromUtf8(s.meal);
        timeChecks[k] = makeCheck(s.timeCheck, meal.left(1), times);
        starts[k] = new TimeField(s.start, QString::fromUtf8(s.startText), times);
        ends[k] = new TimeField(s.end, QString::fromUtf8(s.endText), times);
        for (auto* field : {starts[k], ends[k]})
            field->setFixedWidth(76);
        connect(timeChecks[k], &QCheckBox::clicked, this, [start = starts[k], end = ends[k]](bool checked) {
            start->setEnabled(!checked);
            end->setEnabled(!checked);
        });
        timeGrid->addWidget(timeChecks[k], i, 0);
        timeGrid->addWidget(starts[k], i, 1);
        timeGrid->addWidget(makeLabel(QStringLiteral("-"), times), i, 2);
        timeGrid->addWidget(ends[k], i, 3);

        amountChecks[k] = makeCheck(s.amountCheck, meal, money);
        amounts[k] = makeLineEdit(s.amount, QStringLiteral("100"), money);
        amounts[k]->setFixedWidth(48);
        connect(amountChecks[k], &QCheckBox::clicked, amounts[k], [amount = amounts[k]](bool checked) {
            amount->setEnabled(!checked);
        });
        moneyGrid->addWidget(amountChecks[k], i, 0);
        moneyGrid->addWidget(amounts[k], i, 1);
    }
    periodsOne = makeButton("按钮_单设置消费时段", QStringLiteral("单独设置"), times);
    periodsAll = makeButton("按钮_批量设置消费时段", QStringLiteral("批量设置"), times);
    amountsOne = makeButton("按钮_单设置时段金额", QStringLiteral("单独设置"), money);
    amountsAll = makeButton("按钮_批量设置时段金额", QStringLiteral("批量设置"), money);
    for (auto* b : {periodsOne, periodsAll, amountsOne, amountsAll})
        b->setFixedWidth(60);
    for (auto* grid : {timeGrid, moneyGrid})
        grid->setHorizontalSpacing(4);
    timeGrid->addWidget(periodsOne, kPeriods, 1);
    timeGrid->addWidget(periodsAll, kPeriods, 3);
    moneyGrid->addWidget(amountsOne, kPeriods, 0);
    moneyGrid->addWidget(amountsAll, kPeriods, 1);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 4, 4, 4);
    row->addWidget(times, 3);
    row->addWidget(money, 2);
}

} // namespace vorlanx::shell
