#include "shell/BasicPage.h"

#include "shell/Widgets.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace vorlanx::shell {


BasicPage::BasicPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("基础参数"));
    setTime = makeRadio("单选框_设置时间", QStringLiteral("设置时间"), this);
    readTime = makeRadio("单选框_读取时间", QStringLiteral("读取时间"), this);
    whiteList = makeRadio("单选框1", QStringLiteral("启用白名单"), this);
    blackList = makeRadio("单选框2", QStringLiteral("启用黑名单"), this);
    // The two pairs choose independently of each other.
    auto* timeGroup = new QButtonGroup(this);
    timeGroup->addButton(setTime);
    timeGroup->addButton(readTime);
    auto* listGroup = new QButtonGroup(this);
    listGroup->addButton(whiteList);
    listGroup->addButton(blackList);

    clockAll = makeButton("按钮_时间全部", QStringLiteral("操作全部"), this);
    clockOne = makeButton("按钮_时间单台", QStringLiteral("操作单台"), this);

    mode = new QComboBox(this);
    mode->setObjectName(QStringLiteral("组合框_消费模式"));
    mode->addItems({QStringLiteral("0固定模式"), QStringLiteral("1手动模式"), QStringLiteral("2菜单模式"),
                    QStringLiteral("3下传模式")});
    modeOne = makeButton("按钮_单独设置消费模式", QStringLiteral("单独设置"), this);
    modeAll = makeButton("按钮_批量设置消费模式", QStringLiteral("批量设置"), this);

    title = makeLineEdit("编辑框_设备名称", QStringLiteral("欢迎使用IC消费机"), this);
    titleOne = makeButton("按钮_单设置设备名称", QStringLiteral("单独设置"), this);
    titleAll = makeButton("按钮_批量设置设备名称", QStringLiteral("批量设置"), this);

    listModeOne = makeButton("按钮_单设置黑白名单", QStringLiteral("单台设置"), this);
    listModeAll = makeButton("按钮_批量设置黑白名单", QStringLiteral("批量设置"), this);

    clearLog = makeButton("超级按钮_清空1", QStringLiteral("清空日志"), this);
    clearList = makeButton("超级按钮_清空", QStringLiteral("清空列表"), this);

    for (auto* b : {clockAll, clockOne, modeOne, modeAll, titleOne, titleAll, listModeOne, listModeAll, clearLog,
                    clearList})
        b->setFixedWidth(66);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setVerticalSpacing(6);
    grid->addWidget(setTime, 0, 0);
    grid->addWidget(readTime, 0, 1);
    grid->addWidget(clockAll, 0, 2);
    grid->addWidget(clockOne, 0, 3);
    grid->addWidget(makeLabel(QStringLiteral("消费模式："), this), 1, 0);
    grid->addWidget(mode, 1, 1);
    grid->addWidget(modeOne, 1, 2);
    grid->addWidget(modeAll, 1, 3);
    grid->addWidget(makeLabel(QStringLiteral("设备名称："), this), 2, 0);
    grid->addWidget(title, 2, 1);
    grid->addWidget(titleOne, 2, 2);
    grid->addWidget(titleAll, 2, 3);
    grid->addWidget(whiteList, 3, 0);
    grid->addWidget(blackList, 3, 1);
    grid->addWidget(listModeOne, 3, 2);
    grid->addWidget(listModeAll, 3, 3);
    grid->addWidget(clearLog, 4, 2);
    grid->addWidget(clearList, 4, 3);
    grid->setRowStretch(5, 1);
}

} // namespace vorlanx::shell
