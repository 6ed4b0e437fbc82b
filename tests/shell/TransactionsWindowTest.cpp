#include "link/FrameChecksum.h"
#include "link/Gbk.h"
#include "link/HexText.h"
#include "shell/AppendBox.h"
#include "shell/ListMenu.h"
#include "shell/MainWindow.h"
#include "shell/StatusPanels.h"
#include "db/BuiltinDatabase.h"
#include "db/BuiltinDatabaseAdmin.h"
#include "txn/TransactionTexts.h"
#include "TestService.h"
#include "tests/support/FakeTerminal.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QElapsedTimer>
#include <QTreeWidget>

#include <fstream>

using vorlanx::shell::ListMenu;
using vorlanx::shell::MainWindow;
using vorlanx::shell::StatusPanels;

using vorlanx::test::FakeTerminal;

class TransactionsWindowTest : public QObject, protected WindowFixture {
    Q_OBJECT

    quint16 m_port = 0;


private slots:
    void init() {
        makeService();
        // The built-in demo database; its first holder is 张三 with card 12345678 (00BC614E).
        vorlanx::db::BuiltinDatabaseAdmin admin;
        QVERIFY(admin.open((m_service->dir / "canteen.db").string()));
        QVERIFY(admin.addDemoHolders(3).has_value());
        std::ofstream(m_service->dir / "conf.ini", std::ios::binary)
            << "[sername]\r\ntype=2\r\n[mssql]\r\n" << *vorlanx::link::utf8ToGbk("名称") << "=canteen\r\n";
        QVERIFY(openWindow());
        QTRY_COMPARE_WITH_TIMEOUT(m_window->status().panel(StatusPanels::kStatus), QStringLiteral("A连接成功"), 10000);

        m_port = freeUdpPort();
        child<QLineEdit>("编辑框_端口1")->setText(QString::number(m_port));
        QTest::mouseClick(child<QPushButton>("按钮_监听"), Qt::LeftButton);
        QCOMPARE(m_window->status().panel(StatusPanels::kOperation), QStringLiteral("端口启动成功"));
    }
    void cleanup() {
        closeAll();
    }

    void personnelListFillsAfterStartUp() {
        auto* list = child<QTreeWidget>("超级列表框3");
        QTRY_COMPARE_WITH_TIMEOUT(list->topLevelItemCount(), 3, 10000);
        QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("张三"));
        QCOMPARE(list->topLevelItem(0)->text(3), QStringLiteral("12345678"));
        QTRY_COMPARE(child<QLabel>("白名单数")->text(), QStringLiteral("3"));
    }

    void refreshFromTheMenuReloadsTheList() {
        auto* list = child<QTreeWidget>("超级列表框3");
        QTRY_COMPARE_WITH_TIMEOUT(list->topLevelItemCount(), 3, 10000);
        auto* menu = child<ListMenu>("名单");
        list->setCurrentItem(list->topLevelItem(0));
        menu->prepareAt(list->visualItemRect(list->topLevelItem(0)).center());
        QAction* refresh = menu->actions().at(0);
        QVERIFY(refresh->isEnabled());
        refresh->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(m_window->status().panel(StatusPanels::kOperation),
                                  QStringLiteral("人事档案数：3"), 10000);
        QCOMPARE(list->topLevelItemCount(), 3);
    }

    void cardQueryIsAnsweredWithTheHoldersName() {
        FakeTerminal terminal;
        QVERIFY(terminal.ready);
        terminal.send(m_port, "FE010001000B6300BC614E060000000000ABCD");
        const std::string reply = terminal.inbox.next().value_or("");
        QVERIFY2(reply.rfind("FE010001004463", 0) == 0, reply.c_str());
        QVERIFY2(reply.find("D5C5C8FD") != std::string::npos, reply.c_str()); // 张三 in GBK
        QCOMPARE(reply.size(), std::size_t{2 * (6 + 0x44 + 2)});
        QTRY_VERIFY_WITH_TIMEOUT(m_window->log().text().contains(QStringLiteral("[数据]FE010001000B6300BC614E06")), 5000);
    }

    void offlineUploadWritesItsLineAndIsAcknowledged() {
        FakeTerminal terminal;
        QVERIFY(terminal.ready);
        terminal.send(m_port, "FE01000100137600BC614E00200508100503000004E2ABCD");
        QCOMPARE(terminal.inbox.next(), std::optional<std::string>("FE010001000177644A"));
        const QString line =
            QString::fromStdString(vorlanx::txn::offlineRecordLine("00BC614E", "1250", "200508100503"));
        QTRY_VERIFY_WITH_TIMEOUT(m_window->results().text().contains(line), 5000);
        QVERIFY(line.contains(QStringLiteral("12.5")));
    }

    void stopWaitsForAPaymentOnALockedDatabaseAndAnswersItWhileTheWindowStaysLive() {
        // Another program holds the database file, well within SQLite's 5 s busy wait.
        vorlanx::db::BuiltinDatabase locker;
        QVERIFY(locker.open((m_service->dir / "canteen.db").string()));
        QVERIFY(locker.runQuery("BEGIN IMMEDIATE").isOpen());
        FakeTerminal terminal;
        QVERIFY(terminal.ready);
        terminal.send(m_port, "FE010001000A6300BC614E0000000064ABCD"); // 1.00 yuan on 张三's card
        QTest::qWait(300);

        QElapsedTimer click;
        click.start();
        QTest::mouseClick(child<QPushButton>("按钮_停止"), Qt::LeftButton);
        QVERIFY2(click.elapsed() < 1000, "the click returns while the payment waits");
        QTest::qWait(500); // the window's event loop goes on meanwhile
        QVERIFY(!child<QPushButton>("按钮_监听")->isEnabled());
        QVERIFY(m_window->status().panel(StatusPanels::kOperation) != QStringLiteral("端口已关闭"));

        QVERIFY(locker.runQuery("COMMIT").isOpen());
        QTRY_COMPARE_WITH_TIMEOUT(m_window->status().panel(StatusPanels::kOperation), QStringLiteral("端口已关闭"),
                                  10000);
        QVERIFY(child<QPushButton>("按钮_监听")->isEnabled());
        const std::string reply = terminal.inbox.next().value_or("");
        QVERIFY2(reply.rfind("FE010001004463", 0) == 0, reply.c_str());
    }
};

QTEST_MAIN(TransactionsWindowTest)
#include "TransactionsWindowTest.moc"
