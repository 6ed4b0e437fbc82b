#include "shell/StatusPanels.h"

#include "shell/Widgets.h"

#include <QHBoxLayout>
#include <QLabel>

namespace vorlanx::shell {

StatusPanels::StatusPanels(QWidget* parent) : QStatusBar(parent) {
    tagControl(this, ui::Id::StatusBar);
    setSizeGripEnabled(false);
    // The panels sit edge to edge in one strip at their fixed widths, so that the clock panel
    // keeps the rest of the bar.
    setStyleSheet(QStringLiteral("QStatusBar::item { border: none; }"));
    auto* strip = new QWidget(this);
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    const auto panels = ui::statusPanels();
    for (int i = 0; i < kCount; ++i) {
        const ui::StatusPanel& panel = panels[static_cast<std::size_t>(i)];
        auto* label = new QLabel(qText(panel.text), strip);
        label->setObjectName(QStringLiteral("panel%1").arg(i));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (panel.width > 0) {
            label->setFixedWidth(panel.width);
            row->addWidget(label);
        } else {
            label->setMinimumWidth(30);
            row->addWidget(label, 1);
        }
        m_panels[static_cast<std::size_t>(i)] = label;
    }
    setContentsMargins(0, 0, 0, 0);
    addWidget(strip, 1);
}

void StatusPanels::setPanel(int index, const QString& text) {
    if (index >= 0 && index < kCount)
        m_panels[static_cast<std::size_t>(index)]->setText(text);
}

QString StatusPanels::panel(int index) const {
    if (index < 0 || index >= kCount)
        return {};
    return m_panels[static_cast<std::size_t>(index)]->text();
}

} // namespace vorlanx::shell
