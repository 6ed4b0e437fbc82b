#include "TestService.h"
#include "link/UdpEndpoint.h"
#include "present/Presenter.h"
#include "shell/AppendBox.h"
#include "shell/MainWindow.h"
#include "shell/StatusPanels.h"
#include "tests/support/FakeTerminal.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using vorlanx::link::UdpEndpoint;
using vorlanx::shell::MainWindow;
using vorlanx::shell::StatusPanels;

using vorlanx::test::FakeTerminal;

class OnlineListTest : public QObject, protected WindowFixture {
    Q_OBJECT

    QTreeWidget* m_online = nullptr;
    quint16 m_port = 0;

    QStringList row(int i) const {
        auto* item = m_online->topLevelItem(i);
        return item ? QStringList{item->text(0), item->text(1), item->text(2)} : QStringList{};
    }

private slots:
    void init() {
        makeService();
        QVERIFY(openWindow());
        m_online = m_window->findChild<QTreeWidget*>(QStringLiteral("超级列表框1"));
        // The start button refuses port 0, so find a free port first.
        m_port = freeUdpPort();
        m_window->findChild<QLineEdit*>(QStringLiteral("编辑框_端口1"))->setText(QString::number(m_port));
        QTest::mouseClick(m_window->findChild<QPushButton*>(QStringLiteral("按钮_监听")), Qt::LeftButton);
        QCOMPARE(m_window->status().panel(StatusPanels::kOperation), QStringLiteral("端口启动成功"));
    }
    void cleanup() { closeAll(); }

    void heartbeatIsAcknowledgedAndTheTerminalListed() {
        FakeTerminal terminal;
        QVERIFY(terminal.ready);
        // Command 74 with a first data byte 00 and a checksum that is wrong on purpose.
        terminal.send(m_port, "FE01004E000574000102030000");
        QCOMPARE(terminal.inbox.next(), std::optional<std::string>("FE01004E000181F2D8"));
        QTRY_COMPARE_WITH_TIMEOUT(m_online->topLevelItemCount(), 1, 5000);
        QCOMPARE(row(0),
                 (QStringList{QStringLiteral("127.0.0.1"), QString::number(terminal.port), QStringLiteral("78")}));
        QCOMPARE(m_window->status().panel(StatusPanels::kTotal), QStringLiteral("1"));
        QTRY_VERIFY(m_window->log().text().contains(QStringLiteral("[数据]FE01004E0005740001020300")));
    }

    void twoAddressesGetTwoRowsAndAMachineChangeDropsTheRow() {
        FakeTerminal first("127.0.0.1"), second("127.0.0.10");
        QVERIFY(first.ready && second.ready);
        first.send(m_port, "FE0100040001110000");
        QTRY_COMPARE_WITH_TIMEOUT(m_online->topLevelItemCount(), 1, 5000);
        second.send(m_port, "FE0100040001110000");
        QTRY_COMPARE_WITH_TIMEOUT(m_online->topLevelItemCount(), 2, 5000);
        QCOMPARE(row(1).first(), QStringLiteral("127.0.0.10"));
        QCOMPARE(m_window->status().panel(StatusPanels::kTotal), QStringLiteral("2"));

        first.send(m_port, "FE0100050001110000");
        QTRY_COMPARE_WITH_TIMEOUT(m_online->topLevelItemCount(), 1, 5000);
        QCOMPARE(m_window->status().panel(StatusPanels::kStatus), QStringLiteral("127.0.0.1的机号已变更"));
        QCOMPARE(row(0).first(), QStringLiteral("127.0.0.10"));

        first.send(m_port, "FE0100050001110000");
        QTRY_COMPARE_WITH_TIMEOUT(m_online->topLevelItemCount(), 2, 5000);
        QCOMPARE(row(1).at(2), QStringLiteral("5"));
    }

    void repliesFillTheResultBoxAndCountConfirmations() {
        FakeTerminal terminal;
        QVERIFY(terminal.ready);
        const QString from = QStringLiteral("127.0.0.1:%1").arg(terminal.port);
        for (int i = 0; i < 3; ++i)
            terminal.send(m_port, "FE010001000181E40C");
        auto* success = m_window->findChild<QLabel*>(QStringLiteral("标签_成功数"));
        QTRY_COMPARE_WITH_TIMEOUT(success->text(), QStringLiteral("3"), 5000);
        // A count reply of zero and a clock reply do not touch the success count.
        terminal.send(m_port, "FE010001000551000000000000");
        terminal.send(m_port, "FE01000100091120200508051005030000");
        auto& results = m_window->results();
        QTRY_VERIFY_WITH_TIMEOUT(results.text().contains(QStringLiteral("|返回时间：")), 5000);
        QCOMPARE(results.text(), from + QStringLiteral("|设置成功\r\n") + from + QStringLiteral("|设置成功\r\n") +
                                     from + QStringLiteral("|设置成功\r\n") + from +
                                     QStringLiteral("|白名单数：0\r\n") + from +
                                     QStringLiteral("|返回时间：2020050805100503\r\n"));
        QCOMPARE(success->text(), QStringLiteral("3"));
    }

    // Between two commands the box may hear from every terminal of a large canteen many times: it
    // keeps the last 10,000 lines while the success count goes on counting.
    void resultBoxKeepsItsLastLinesAndTheCountGoesOn() {
        auto& presenter = m_window->presenter();
        for (int i = 0; i < 10050; ++i)
            presenter.resultAppended(QStringLiteral("127.0.0.1:%1|设置成功\r\n").arg(i).toStdString(),
                                     static_cast<std::size_t>(i + 1));
        presenter.reports().drain();
        auto& results = m_window->results();
        QCOMPARE(results.pieceCount(), std::size_t{10050});
        QCOMPARE(m_window->findChild<QLabel*>(QStringLiteral("标签_成功数"))->text(), QStringLiteral("10050"));
        const QString kept = results.text();
        QCOMPARE(kept.count(QStringLiteral("\r\n")), 10000);
        QVERIFY(kept.startsWith(QStringLiteral("127.0.0.1:50|")));
        QVERIFY(kept.endsWith(QStringLiteral("127.0.0.1:10049|设置成功\r\n")));
        QVERIFY(results.document()->blockCount() <= 10001);
        QVERIFY(results.toPlainText().startsWith(QStringLiteral("127.0.0.1:50|")));
    }

    // A row that made room for a new terminal leaves the list without a word in the status panel.
    void rowLetGoLeavesTheStatusPanelAlone() {
        auto& presenter = m_window->presenter();
        for (const char* address : {"127.0.1.1", "127.0.1.2", "127.0.1.3"})
            presenter.terminalAdded(address, "3000", "1", "3");
        presenter.statusChanged("127.0.1.9的机号已变更");
        presenter.reports().drain();
        const QString status = m_window->status().panel(StatusPanels::kStatus);
        QCOMPARE(status, QStringLiteral("127.0.1.9的机号已变更"));
        presenter.terminalRemoved("127.0.1.2", {});
        presenter.reports().drain();
        QCOMPARE(m_online->topLevelItemCount(), 2);
        QCOMPARE(row(1).first(), QStringLiteral("127.0.1.3"));
        QCOMPARE(m_window->status().panel(StatusPanels::kStatus), status);
    }

    void restartingEmptiesTheList() {
        FakeTerminal terminal;
        QVERIFY(terminal.ready);
        terminal.send(m_port, "FE0100040001110000");
        QTRY_COMPARE_WITH_TIMEOUT(m_online->topLevelItemCount(), 1, 5000);
        QTest::mouseClick(m_window->findChild<QPushButton*>(QStringLiteral("按钮_停止")), Qt::LeftButton);
        QTest::mouseClick(m_window->findChild<QPushButton*>(QStringLiteral("按钮_监听")), Qt::LeftButton);
        QCOMPARE(m_online->topLevelItemCount(), 0);
        // The model was emptied too: the same terminal is listed again as new.
        terminal.send(m_port, "FE0100040001110000");
        QTRY_COMPARE_WITH_TIMEOUT(m_online->topLevelItemCount(), 1, 5000);
    }
};

QTEST_MAIN(OnlineListTest)
#include "OnlineListTest.moc"
