#pragma once

#include <QStatusBar>
#include <array>

class QLabel;

namespace vorlanx::shell {

// The status bar: ten panels, fixed captions at the even indices and values at the odd ones.
class StatusPanels : public QStatusBar {
public:
    static constexpr int kTotal = 1;
    static constexpr int kLocalIp = 3;
    static constexpr int kStatus = 5;
    static constexpr int kOperation = 7;
    static constexpr int kClock = 9;
    static constexpr int kCount = 10;

    explicit StatusPanels(QWidget* parent);

    // Replaces the whole text of one panel.
    void setPanel(int index, const QString& text);
    QString panel(int index) const;

private:
    std::array<QLabel*, kCount> m_panels{};
};

} // namespace vorlanx::shell
