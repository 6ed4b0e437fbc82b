// The administration buttons of the window against simulated terminals that answer as terminals
// do, and the window staying live while a long command runs.

#include "config/IniFile.h"
#include "shell/AppendBox.h"
#include "shell/MainWindow.h"
#include "shell/MessageBox.h"
#include "shell/StatusPanels.h"
#include "tools/vorlanx-termsim/Simulator.h"
#include "TestService.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <memory>
#include <thread>

using vorlanx::shell::MessageBox;
using vorlanx::shell::StatusPanels;
using namespace std::chrono_literals;

class AdminCommandsTest : public QObject, protected WindowFixture {
    Q_OBJECT

    std::unique_ptr<vorlanx::tools::Simulator> m_simulator;
    std::jthread m_simulation;

    void listen() {
        child<QLineEdit>("编辑框_端口1")->setText(QString::number(freeUdpPort()));
        QTest::mouseClick(child<QPushButton>("按钮_监听"), Qt::LeftButton);
        QCOMPARE(m_window->status().panel(StatusPanels::kOperation), QStringLiteral("端口启动成功"));
    }

    // Simulated terminals that keep alive and answer administration frames, taken from the online
    // list into the terminal list once all of them have been heard.
    void startTerminals(unsigned count) {
        vorlanx::tools::SimulatorOptions o;
        o.servicePort = m_service->listener.localPort();
        o.terminals = count;
        o.mix = {0, 0, 0};
        o.durationSeconds = 60;
        o.heartbeat = 100ms;
        o.firstMachine = 1;
        m_simulator = std::make_unique<vorlanx::tools::Simulator>(o);
        m_simulation = std::jthread([this] { m_simulator->run(); });
        auto* online = child<QTreeWidget>("超级列表框1");
        QTRY_COMPARE_WITH_TIMEOUT(online->topLevelItemCount(), static_cast<int>(count), 10000);
        auto* devices = child<QTreeWidget>("超级列表框_设备");
        for (int i = 0; i < online->topLevelItemCount(); ++i) {
            const auto* row = online->topLevelItem(i);
            new QTreeWidgetItem(devices, {row->text(0), row->text(1), row->text(2)});
        }
        // Each online row tells, under the mouse, what has been heard from its terminal.
        m_window->logTick();
        const QString tip = online->topLevelItem(0)->toolTip(0);
        QVERIFY2(tip.startsWith(QStringLiteral("最后收到：")) && tip.contains(QStringLiteral("帧：")), qPrintable(tip));
    }

    int linesWith(const QString& text) { return static_cast<int>(m_window->results().toPlainText().count(text)); }

private slots:
    void init() {
        MessageBox::setCapture(true);
        makeService();
        QVERIFY(openWindow());
    }
    void cleanup() {
        if (m_simulator)
            m_simulator->requestStop();
        if (m_simulation.joinable())
            m_simulation.join();
        m_simulator.reset();
        closeAll();
        MessageBox::takeShown();
    }

    void setTimeOnAllTerminalsIsConfirmedByEach() {
        listen();
        startTerminals(5);
        child<QRadioButton>("单选框_设置时间")->setChecked(true);
        QTest::mouseClick(child<QPushButton>("按钮_时间全部"), Qt::LeftButton);
        QCOMPARE(child<QGroupBox>("分组框2")->title(), QStringLiteral("设置时间"));
        QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>("标签_成功数")->text(), QStringLiteral("5"), 5000);
        QCOMPARE(linesWith(QStringLiteral("|设置成功")), 5);
        // The next command waits until the window has heard that this one ended.
        QTRY_VERIFY(child<QPushButton>("按钮_读全部白名单1")->isEnabled());

        QTest::mouseClick(child<QPushButton>("按钮_读全部白名单1"), Qt::LeftButton);
        QCOMPARE(child<QGroupBox>("分组框2")->title(), QStringLiteral("读白名单"));
        QCOMPARE(child<QLabel>("标签_成功数")->text(), QStringLiteral("0"));
        QTRY_COMPARE_WITH_TIMEOUT(linesWith(QStringLiteral("|白名单数：0")), 5, 5000);
        auto* devices = child<QTreeWidget>("超级列表框_设备");
        for (int i = 0; i < devices->topLevelItemCount(); ++i) {
            const auto* row = devices->topLevelItem(i);
            const QString line = row->text(0) + ":" + row->text(1) + "|白名单数：0";
            QVERIFY2(m_window->results().toPlainText().contains(line), qPrintable(line));
        }
    }

    void emptyListAndTitleMessages() {
        QTest::mouseClick(child<QPushButton>("按钮_删全部设备白名单"), Qt::LeftButton);
        QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("请先添加设备")});
        child<QLineEdit>("编辑框_设备名称")->setText(QStringLiteral("0123456789"));
        QTest::mouseClick(child<QPushButton>("按钮_批量设置设备名称"), Qt::LeftButton);
        QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("最多只能输入8个字")});
        child<QLineEdit>("编辑框_设备名称")->setText(QStringLiteral("欢迎使用IC消费机"));
        QTest::mouseClick(child<QPushButton>("按钮_批量设置设备名称"), Qt::LeftButton);
        QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("请添加设备")});
        child<QLineEdit>("IP编辑框1")->setText(QStringLiteral("127.0.0.1"));
        child<QLineEdit>("编辑框_发送端口")->setText(QStringLiteral("abc"));
        QTest::mouseClick(child<QPushButton>("按钮_单设置设备名称"), Qt::LeftButton);
        QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("发送目标的端口不正确（1-65535）：abc")});
        // An address with a blank part, typed as the box lets it be, is refused and sends nothing.
        child<QLineEdit>("编辑框_发送端口")->setText(QStringLiteral("3000"));
        auto* address = child<QLineEdit>("IP编辑框1");
        address->clear();
        QTest::keyClicks(address, QStringLiteral("127.0..1"));
        QCOMPARE(address->text(), QStringLiteral("127.0..1"));
        QTest::mouseClick(child<QPushButton>("按钮_单设置设备名称"), Qt::LeftButton);
        QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("发送目标的IP地址不正确：127.0..1")});
        QVERIFY(child<QPushButton>("按钮_单设置设备名称")->isEnabled());
    }

    void parallelDownloadChoiceIsKept() {
        auto* parallel = child<QCheckBox>("选择框_同时下传");
        QVERIFY(parallel);
        QCOMPARE(parallel->text(), QStringLiteral("同时下传"));
        QVERIFY(!parallel->isChecked());
        parallel->setChecked(true);
        QCOMPARE(vorlanx::config::IniFile(m_service->dir / "conf.ini").readValue("whitelist", "parallel"),
                 std::string("1"));
        QTest::mouseClick(child<QPushButton>("按钮_传全部白名单"), Qt::LeftButton);
        QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("请先添加设备")});
        // Below the download buttons, which keep their places.
        child<QTabWidget>("选择夹1")->setCurrentIndex(2);
        QTRY_VERIFY(parallel->isVisible());
        QVERIFY(parallel->geometry().top() >= child<QPushButton>("按钮_传全部白名单")->geometry().bottom());

        closeAll();
        makeService();
        vorlanx::config::IniFile(m_service->dir / "conf.ini").writeValue("whitelist", "parallel", "1");
        QVERIFY(openWindow());
        QVERIFY(child<QCheckBox>("选择框_同时下传")->isChecked());
    }

    // A period command to 100 terminals runs for about ten seconds; the window's timers keep firing
    // all along, and the other administration buttons wait for it.
    void longCommandLeavesTheWindowLive() {
        listen();
        auto* devices = child<QTreeWidget>("超级列表框_设备");
        const QString port = QString::number(freeUdpPort());
        for (int i = 0; i < 100; ++i)
            new QTreeWidgetItem(devices, {QStringLiteral("127.0.0.1"), port, QString::number(i + 1)});
        child<QCheckBox>("选择框_早时间")->setChecked(true);

        QElapsedTimer sinceTick;
        qint64 longestGap = 0;
        int ticks = 0;
        QTimer timer;
        timer.setInterval(100);
        connect(&timer, &QTimer::timeout, this, [&] {
            longestGap = std::max(longestGap, sinceTick.restart());
            ++ticks;
        });
        QElapsedTimer run;
        run.start();
        sinceTick.start();
        timer.start();
        QTest::mouseClick(child<QPushButton>("按钮_批量设置消费时段"), Qt::LeftButton);
        QVERIFY(m_service->service.commandRunning());
        QVERIFY(!child<QPushButton>("按钮_时间全部")->isEnabled());
        QVERIFY(child<QPushButton>("按钮_停止")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>("按钮_时间全部")->isEnabled(), 60000);
        timer.stop();
        QVERIFY(run.elapsed() >= 10000);
        QVERIFY2(ticks >= 50, qPrintable(QString::number(ticks)));
        QVERIFY2(longestGap < 2000, qPrintable(QString::number(longestGap)));
    }
};

QTEST_MAIN(AdminCommandsTest)
#include "AdminCommandsTest.moc"
