#include "shell/OnlineRow.h"

#include "service/VorlanxService.h"

#include <QDateTime>

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
    const auto& t = *heard;
    return QStringLiteral("最后收到：%1\n帧：%2  查询：%3  消费：%4  离线：%5%6")
        .arg(QDateTime::fromSecsSinceEpoch(t.lastHeard).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
        .arg(t.frames)
        .arg(t.queries)
        .arg(t.payments)
        .arg(t.offlineRecords)
        .arg(t.lastAnswer.empty() ? QString() : QStringLiteral("\n最后应答：") + QString::fromStdString(t.lastAnswer));
}

} // namespace vorlanx::shell
