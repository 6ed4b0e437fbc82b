#include "shell/WhitelistPage.h"

#include "shell/Widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vorlanx::shell {

WhitelistPage::WhitelistPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("黑白名单"));
    personnel = makeList("超级列表框3",
                         {QStringLiteral("编号"), QStringLiteral("姓名"), QStringLiteral("部门"), QStringLiteral("卡号")},
                         {50, 60, 70, 80}, this);
    searchField = new QComboBox(this);
    searchField->setObjectName(QStringLiteral("组合框4"));
    searchField->addItems({QStringLiteral("编号"), QStringLiteral("姓名"), QStringLiteral("部门"), QStringLiteral("卡号")});
    searchText = makeLineEdit("编辑框1", QString(), this);
    search = makeButton("按钮6", QStringLiteral("查询"), this);

    readOne = makeButton("按钮_读单白名单", QStringLiteral("读单白名单数"), this);
    readAll = makeButton("按钮_读全部白名单1", QStringLiteral("读全白名单数"), this);
    deleteOne = makeButton("按钮_删单设备白名单", QStringLiteral("删单台白名单"), this);
    deleteAll = makeButton("按钮_删全部设备白名单", QStringLiteral("删全部白名单"), this);
    downloadOne = makeButton("按钮_传单台白名单", QStringLiteral("传单台白名单"), this);
    downloadAll = makeButton("按钮_传全部白名单", QStringLiteral("传全部白名单"), this);
    parallelDownload = makeCheck("选择框_同时下传", QStringLiteral("同时下传"), this);

    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(searchField);
    searchRow->addWidget(searchText, 1);
    searchRow->addWidget(search);
    auto* left = new QVBoxLayout;
    left->addLayout(searchRow);
    left->addWidget(personnel, 1);

    auto* buttons = new QVBoxLayout;
    for (auto* b : {readOne, readAll, deleteOne, deleteAll, downloadOne, downloadAll})
        buttons->addWidget(b);
    buttons->addWidget(parallelDownload);
    buttons->addStretch(1);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 4, 4, 4);
    row->addLayout(left, 1);
    row->addLayout(buttons);
}

} // namespace vorlanx::shell
