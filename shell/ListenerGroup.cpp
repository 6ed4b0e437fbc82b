#include "shell/ListenerGroup.h"

#include "shell/Widgets.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vorlanx::shell {

ListenerGroup::ListenerGroup(QWidget* parent) : QGroupBox(parent) {
    using ui::Id;
    tagControl(this, Id::ListenerGroup);
    setTitle(captionOf(Id::ListenerGroup));
    m_port = makeLineEdit(Id::ListenPort, this);
    m_start = makeButton(Id::ListenButton, this);
    m_stop = makeButton(Id::StopButton, this);
    m_whitelistCount = makeLabel(Id::WhitelistCount, this);
    m_successCount = makeLabel(Id::SuccessCount, this);

    m_port->setFixedWidth(48);
    m_stop->setFixedWidth(48);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 2, 6, 4);
    grid->setSpacing(4);
    placeInGrid(grid, m_port);
    placeInGrid(grid, m_start);
    placeInGrid(grid, m_stop);
    // The counts share the grid's second row in a row of their own, the values taking the room.
    auto* counts = new QHBoxLayout;
    counts->addWidget(makeLabel(Id::WhitelistCountLabel, this));
    counts->addWidget(m_whitelistCount, 1);
    counts->addWidget(makeLabel(Id::SuccessCountLabel, this));
    counts->addWidget(m_successCount, 1);
    grid->addLayout(counts, 1, 0, 1, 4);
    m_stop->setEnabled(false);
}

void ListenerGroup::enableParts(bool port, bool start, bool stop) {
    m_port->setEnabled(port);
    m_start->setEnabled(start);
    m_stop->setEnabled(stop);
}

} // namespace vorlanx::shell
