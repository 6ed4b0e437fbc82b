#include "link/UdpEndpoint.h"
#include "shell/AppendBox.h"
#include "shell/MainWindow.h"
#include "TestService.h"
#include "shell/MessageBox.h"
#include "shell/StatusPanels.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTreeWidget>

using vorlanx::link::UdpEndpoint;
using vorlanx::shell::MainWindow;
using vorlanx::shell::MessageBox;
using vorlanx::shell::StatusPanels;

class ListenerTest : public QObject, protected WindowFixture {
    Q_OBJECT

    QLineEdit* m_port = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_stop = nullptr;

    QString operation() const { return m_window->status().panel(StatusPanels::kOperation); }
    void expectIdle() {
        QVERIFY(m_port->isEnabled());
        QVERIFY(m_start->isEnabled());
        QVERIFY(!m_stop->isEnabled());
    }
    void expectListening() {
        QVERIFY(!m_port->isEnabled());
        QVERIFY(!m_start->isEnabled());
        QVERIFY(m_stop->isEnabled());
    }

private slots:
    void init() {
        MessageBox::setCapture(true);
        makeService();
        QVERIFY(openWindow());
        m_port = m_window->findChild<QLineEdit*>(QStringLiteral("编辑框_端口1"));
        m_start = m_window->findChild<QPushButton*>(QStringLiteral("按钮_监听"));
        m_stop = m_window->findChild<QPushButton*>(QStringLiteral("按钮_停止"));
        QVERIFY(m_port && m_start && m_stop);
    }
    void cleanup() {
        closeAll();
        MessageBox::setCapture(false);
    }

    void startStopStartOnAFreePort() {
        const quint16 port = freeUdpPort();
        m_port->setText(QString::number(port));
        QTest::mouseClick(m_start, Qt::LeftButton);
        QCOMPARE(operation(), QStringLiteral("端口启动成功"));
        expectListening();
        QCOMPARE(m_service->listener.localPort(), port);

        QTest::mouseClick(m_stop, Qt::LeftButton);
        QCOMPARE(operation(), QStringLiteral("端口已关闭"));
        expectIdle();
        QVERIFY(!m_service->listener.isOpen());

        // The second start reads the box again and opens a new socket on the new port.
        const quint16 second = freeUdpPort();
        m_port->setText(QString::number(second));
        QTest::mouseClick(m_start, Qt::LeftButton);
        QCOMPARE(operation(), QStringLiteral("端口启动成功"));
        QCOMPARE(m_service->listener.localPort(), second);
        expectListening();
    }

    void portHeldByAnotherSocket() {
        UdpEndpoint holder;
        QVERIFY(holder.open({}));
        QVERIFY(holder.bindPort("", 0));
        m_port->setText(QString::number(holder.localPort()));
        QTest::mouseClick(m_start, Qt::LeftButton);
        QCOMPARE(operation(), QStringLiteral("端口被占用"));
        expectIdle();
        QVERIFY2(!m_service->listener.isOpen(), "a failed start leaves no socket behind");
    }

    void badPortTextIsReportedAsPortInUse() {
        for (const char* text : {"0", "65536", "abc", "-1"}) {
            m_port->setText(QString::fromLatin1(text));
            QTest::mouseClick(m_start, Qt::LeftButton);
            QCOMPARE(operation(), QStringLiteral("端口被占用"));
            expectIdle();
        }
    }

    void emptyPortBoxAsksForAPort() {
        m_port->clear();
        m_stop->setEnabled(true);
        QTest::mouseClick(m_start, Qt::LeftButton);
        QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("请输入监听端口")});
        QVERIFY(!m_stop->isEnabled());
        QVERIFY(m_start->isEnabled());
        QVERIFY(!m_service->listener.isOpen());
    }

    void startEmptiesTheOnlineList() {
        auto* online = m_window->findChild<QTreeWidget*>(QStringLiteral("超级列表框1"));
        new QTreeWidgetItem(online, {QStringLiteral("10.0.0.5"), QStringLiteral("3000"), QStringLiteral("1")});
        m_port->clear();
        QTest::mouseClick(m_start, Qt::LeftButton);
        QCOMPARE(online->topLevelItemCount(), 0);
    }

    void datagramBecomesAThreeLineClientEntry() {
        m_port->setText(QString::number(freeUdpPort()));
        QTest::mouseClick(m_start, Qt::LeftButton);
        QCOMPARE(operation(), QStringLiteral("端口启动成功"));

        UdpEndpoint terminal;
        QVERIFY(terminal.open({}));
        QVERIFY(terminal.bindPort("127.0.0.1", 0));
        const std::vector<std::uint8_t> frame{0xFE, 0x01, 0x00, 0x4E, 0x00, 0x01, 0x11, 0xF2, 0xB4};
        terminal.sendDatagram("127.0.0.1", m_service->listener.localPort(), frame);

        auto& log = m_window->log();
        QTRY_VERIFY_WITH_TIMEOUT(log.text().contains(QStringLiteral("[数据]")), 5000);
        const QString expected = QStringLiteral("\r\n[客户]127.0.0.1:%1\r\n[数据]FE01004E000111F2B4\r\n")
                                     .arg(terminal.localPort());
        QVERIFY2(log.text().endsWith(expected), qPrintable(log.text()));
        QVERIFY(QRegularExpression(QStringLiteral("^\\d{4}年\\d{1,2}月\\d{1,2}日")).match(log.text()).hasMatch());
        QCOMPARE(log.pieceCount(), std::size_t{3});
    }

    void closingTheWindowWhileListeningDrainsThenCloses() {
        m_port->setText(QString::number(freeUdpPort()));
        QTest::mouseClick(m_start, Qt::LeftButton);
        QVERIFY(m_service->listener.isOpen());
        m_window->close();
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->isVisible(), 5000);
        QVERIFY(!m_service->listener.isOpen());
        QCOMPARE(operation(), QStringLiteral("端口已关闭"));
    }

    void closingTheWindowClosesTheSocket() {
        m_port->setText(QString::number(freeUdpPort()));
        QTest::mouseClick(m_start, Qt::LeftButton);
        QVERIFY(m_service->listener.isOpen());
        delete m_window;
        m_window = nullptr;
        QVERIFY(!m_service->listener.isOpen());
    }
};

QTEST_MAIN(ListenerTest)
#include "ListenerTest.moc"
