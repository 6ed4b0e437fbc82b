#pragma once

#include "ui/Controls.h"

#include <QStatusBar>
#include <array>

class QLabel;

namespace vorlanx::shell {

// The status bar: ten panels, fixed captions at the even indices and values at the odd ones.
class StatusPanels : public QStatusBar {
public:
    static constexpr int kTotal = ui::kTotalPanel;
    static constexpr int kLocalIp = ui::kLocalIpPanel;
    static constexpr int kStatus = ui::kStatusPanel;
    static constexpr int kOperation = ui::kOperationPanel;
    static constexpr int kClock = ui::kClockPanel;
    static constexpr int kCount = ui::kStatusPanelCount;

    explicit StatusPanels(QWidget* parent);

    // Replaces the whole text of one panel.
    void setPanel(int index, const QString& text);
    QString panel(int index) const;

private:
    std::array<QLabel*, kCount> m_panels{};
};

} // namespace vorlanx::shell
