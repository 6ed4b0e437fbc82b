#include "shell/OnlineRow.h"

#include "service/VorlanxService.h"
#include "ui/Texts.h"

namespace vorlanx::shell {

OnlineRow::OnlineRow(QTreeWidget* list, const QStringList& columns, const service::VorlanxService& service,
                     Index& index)
    : QTreeWidgetItem(list, columns), m_service(service), m_index(index) {
    m_index.insert(columns.value(0), this);
}

OnlineRow::~OnlineRow() {
    const auto found = m_index.find(text(0));
    if (found != m_index.end() && found.value() == this)
        m_index.erase(found);
}

QVariant OnlineRow::data(int column, int role) const {
    if (role != Qt::ToolTipRole)
        return QTreeWidgetItem::data(column, role);
    const auto heard = m_service.heardTerminal(text(0).toStdString());
    if (!heard)
        return {};
    return QString::fromStdString(ui::onlineRowTip(*heard));
}

} // namespace vorlanx::shell
