#include "shell/DataConfigPage.h"

#include "shell/Widgets.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace vorlanx::shell {

DataConfigPage::DataConfigPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("数据配置"));
    terminals = makeList("超级列表框_设备", {QStringLiteral("设备IP"), QStringLiteral("端口号"), QStringLiteral("机号")},
                         {120, 50, 50}, this);

    auto* group = makeGroup("分组框11", QStringLiteral("数据库"), this);
    serverAddress = makeAddressEdit("IP编辑框_服务地址", QStringLiteral("127.0.0.1"), group);
    databaseName = makeLineEdit("编辑框_数据库名称", QString(), group);
    user = makeLineEdit("编辑框_登录用户", QStringLiteral("sa"), group);
    password = makeLineEdit("编辑框_登录密码", QStringLiteral("468"), group);
    password->setEchoMode(QLineEdit::Password);
    useSqlServer = new QCheckBox(QStringLiteral("MSSQL库"), group);
    useSqlServer->setObjectName(QStringLiteral("选择框_数据库选择"));
    save = makeButton("按钮_保存数据配置", QStringLiteral("保存数据配置"), group);

    auto* form = new QFormLayout(group);
    form->setContentsMargins(6, 4, 6, 4);
    form->setVerticalSpacing(4);
    form->addRow(QStringLiteral("服务地址："), serverAddress);
    form->addRow(QStringLiteral("数据名称："), databaseName);
    form->addRow(QStringLiteral("登录用户："), user);
    form->addRow(QStringLiteral("登录密码："), password);
    form->addRow(useSqlServer);
    form->addRow(save);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 4, 4, 4);
    row->addWidget(terminals, 1);
    row->addWidget(group, 1);
}

} // namespace vorlanx::shell
