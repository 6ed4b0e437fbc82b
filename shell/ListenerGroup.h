#pragma once

#include <QGroupBox>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vorlanx::shell {

// The listener group: the port box, start and stop, the white-list count and the success
// count. What start and stop do is the presenter's; the group only holds the controls.
class ListenerGroup : public QGroupBox {
public:
    explicit ListenerGroup(QWidget* parent);

    // Which of the port box, 开始监听 and 停止 take input.
    void enableParts(bool port, bool start, bool stop);

    QLineEdit* port() const { return m_port; }
    QPushButton* startButton() const { return m_start; }
    QPushButton* stopButton() const { return m_stop; }
    QLabel* whitelistCount() const { return m_whitelistCount; }
    QLabel* successCount() const { return m_successCount; }

private:
    QLineEdit* m_port;
    QPushButton* m_start;
    QPushButton* m_stop;
    QLabel* m_whitelistCount;
    QLabel* m_successCount;
};

} // namespace vorlanx::shell
