#pragma once

#include <QHash>
#include <QString>
#include <QTreeWidgetItem>

namespace vorlanx::service {
class VorlanxService;
}

namespace vorlanx::shell {

// One row of the online terminal list. Its tool tip (what the service has heard from the
// terminal) is read from the service when asked for, under the mouse, so that a list of 10,000
// terminals costs nothing between hovers. The rows are indexed by address in `index`, which the
// row leaves when it is deleted by whatever deletes it.
class OnlineRow : public QTreeWidgetItem {
public:
    using Index = QHash<QString, OnlineRow*>;

    OnlineRow(QTreeWidget* list, const QStringList& columns, const service::VorlanxService& service, Index& index);
    ~OnlineRow() override;
    OnlineRow(const OnlineRow&) = delete;
    OnlineRow& operator=(const OnlineRow&) = delete;

    QVariant data(int column, int role) const override;

private:
    const service::VorlanxService& m_service;
    Index& m_index;
};

} // namespace vorlanx::shell
