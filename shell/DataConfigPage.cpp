#include "shell/DataConfigPage.h"

#include "shell/DatabaseSettingsGroup.h"
#include "shell/Widgets.h"

#include <QHBoxLayout>
#include <QTreeWidget>

namespace vorlanx::shell {

DataConfigPage::DataConfigPage(QWidget* parent) : QWidget(parent) {
    setObjectName(qText(ui::pageEntry(ui::Page::DataConfig).name));
    terminals = makeList(ui::Id::TerminalList, this);
    database = new DatabaseSettingsGroup(this);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 4, 4, 4);
    row->addWidget(terminals, 1);
    row->addWidget(database, 1);
}

} // namespace vorlanx::shell
