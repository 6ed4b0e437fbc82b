#include "shell/StatusPanels.h"

#include <QLabel>
#include <QHBoxLayout>

namespace vorlanx::shell {

namespace {
struct PanelSpec {
    int width; // 0: takes the rest of the bar
    const char* text;
};
constexpr PanelSpec kPanels[StatusPanels::kCount] = {
    {32, "总数："}, {40, ""}, {50, "本机IP："}, {120, ""}, {40, "状态："},
    {70, ""},       {35, "操作："}, {260, ""}, {30, "时间"}, {0, ""},
};
} // namespace

StatusPanels::StatusPanels(QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("状态条1"));
    setSizeGripEnabled(false);
    // The panels sit edge to edge in one strip at their fixed widths, so that the clock panel
    // keeps the rest of the bar.
    setStyleSheet(QStringLiteral("QStatusBar::item { border: none; }"));
    auto* strip = new QWidget(this);
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    for (int i = 0; i < kCount; ++i) {
        auto* label = new QLabel(QString::fromUtf8(kPanels[i].text), strip);
        label->setObjectName(QStringLiteral("panel%1").arg(i));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (kPanels[i].width > 0) {
            label->setFixedWidth(kPanels[i].width);
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
