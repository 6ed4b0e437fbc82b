#include "shell/DataConfigPage.h"

#include "shell/DatabaseSettingsGroup.h"
#include "shell/Widgets.h"

#include <QHBoxLayout>
#include <QTreeWidget>

namespace vorlanx::shell {

DataConfigPage::DataConfigPage(service::VorlanxService& service, StatusPanels& status, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("数据配置"));
    terminals = makeList("超级列表框_设备", {QStringLiteral("设备IP"), QStringLiteral("端口号"), QStringLiteral("机号")},
                         {120, 50, 50}, this);
    database = new DatabaseSettingsGroup(service, status, this);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 4, 4, 4);
    row->addWidget(terminals, 1);
    row->addWidget(database, 1);
}

} // namespace vorlanx::shell
