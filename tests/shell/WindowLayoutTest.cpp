#include "shell/MainWindow.h"
#include "TestService.h"
#include "shell/StatusPanels.h"
#include "shell/TimeField.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using vorlanx::shell::MainWindow;
using vorlanx::shell::StatusPanels;

class WindowLayoutTest : public QObject, protected WindowFixture {
    Q_OBJECT

    QStringList headers(const char* list) {
        QStringList out;
        auto* tree = child<QTreeWidget>(list);
        for (int i = 0; tree && i < tree->columnCount(); ++i)
            out << tree->headerItem()->text(i);
        return out;
    }

private slots:
    void init() {
        makeService();
        QVERIFY(openWindow());
    }
    void cleanup() {
        closeAll();
    }

    void captionPlaceAndSize() {
        QCOMPARE(m_window->size(), QSize(804, 490));
        QCOMPARE(m_window->windowTitle(), QStringLiteral("VorlanxV7_20200508"));
        QCOMPARE(m_window->geometry().topLeft(), QPoint(50, 50));
    }

    void buttonsHaveTheirCaptions_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        const char* rows[][2] = {
            {"按钮_监听", "开始监听"},          {"按钮_停止", "停止"},
            {"单选框_设置时间", "设置时间"},    {"单选框_读取时间", "读取时间"},
            {"单选框1", "启用白名单"},          {"单选框2", "启用黑名单"},
            {"按钮_时间全部", "操作全部"},      {"按钮_时间单台", "操作单台"},
            {"按钮_单独设置消费模式", "单独设置"}, {"按钮_批量设置消费模式", "批量设置"},
            {"按钮_单设置设备名称", "单独设置"}, {"按钮_批量设置设备名称", "批量设置"},
            {"按钮_单设置黑白名单", "单台设置"}, {"按钮_批量设置黑白名单", "批量设置"},
            {"超级按钮_清空1", "清空日志"},     {"超级按钮_清空", "清空列表"},
            {"按钮6", "查询"},                  {"按钮_读单白名单", "读单白名单数"},
            {"按钮_读全部白名单1", "读全白名单数"}, {"按钮_删单设备白名单", "删单台白名单"},
            {"按钮_删全部设备白名单", "删全部白名单"}, {"按钮_传单台白名单", "传单台白名单"},
            {"按钮_传全部白名单", "传全部白名单"}, {"选择框_数据库选择", "MSSQL库"},
            {"按钮_保存数据配置", "保存数据配置"}, {"按钮_单设置消费时段", ""},
            {"按钮_批量设置消费时段", ""},      {"按钮_单设置时段金额", ""},
            {"按钮_批量设置时段金额", ""},      {"选择框_早时间", ""},
            {"选择框_中时间", ""},              {"选择框_晚时间", ""},
            {"选择框_夜时间", ""},              {"选择框_早餐金额", "早餐"},
            {"选择框_中餐金额", "中餐"},        {"选择框_晚餐金额", "晚餐"},
            {"选择框_夜宵金额", "夜宵"},
        };
        for (const auto& r : rows)
            QTest::newRow(r[0]) << QString::fromUtf8(r[0]) << QString::fromUtf8(r[1]);
    }
    void buttonsHaveTheirCaptions() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        auto* button = m_window->findChild<QAbstractButton*>(name);
        QVERIFY2(button, qPrintable(name));
        if (!caption.isEmpty())
            QCOMPARE(button->text(), caption);
    }

    void editBoxesHaveTheirInitialTexts_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        const char* rows[][2] = {
            {"编辑框_端口1", "3000"},   {"IP编辑框1", ""},          {"编辑框_发送端口", "3000"},
            {"编辑框_发送机号", ""},    {"编辑框_设备名称", "欢迎使用IC消费机"},
            {"编辑框_金额1", "100"},
            {"编辑框_金额2", "100"},    {"编辑框_金额3", "100"},    {"编辑框_金额4", "100"},
            {"编辑框1", ""},            {"IP编辑框_服务地址", "127.0.0.1"},
            {"编辑框_数据库名称", ""},  {"编辑框_登录用户", "sa"},  {"编辑框_登录密码", "468"},
        };
        for (const auto& r : rows)
            QTest::newRow(r[0]) << QString::fromUtf8(r[0]) << QString::fromUtf8(r[1]);
    }
    void editBoxesHaveTheirInitialTexts() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        auto* edit = m_window->findChild<QLineEdit*>(name);
        QVERIFY2(edit, qPrintable(name));
        QCOMPARE(edit->text(), text);
    }

    void timeFieldsHaveTheirInitialTimes_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        const char* rows[][2] = {
            {"编辑框早A", "05:00:01"}, {"编辑框早B", "09:30:01"}, {"编辑框中A", "09:31:01"}, {"编辑框中B", "14:00:01"},
            {"编辑框晚A", "14:01:01"}, {"编辑框晚B", "19:00:01"}, {"编辑框夜A", "19:01:01"}, {"编辑框夜B", "23:59:59"},
        };
        for (const auto& r : rows)
            QTest::newRow(r[0]) << QString::fromUtf8(r[0]) << QString::fromUtf8(r[1]);
    }
    void timeFieldsHaveTheirInitialTimes() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        auto* field = m_window->findChild<vorlanx::shell::TimeField*>(name);
        QVERIFY2(field, qPrintable(name));
        QCOMPARE(field->text(), text);
    }

    void groupsListsAndBoxes() {
        QVERIFY(child<QGroupBox>("分组框3"));
        QVERIFY(child<QGroupBox>("分组框4"));
        QVERIFY(child<QGroupBox>("分组框1"));
        QCOMPARE(child<QGroupBox>("分组框2")->title(), QStringLiteral("处理结果"));
        QCOMPARE(child<QGroupBox>("分组框5")->title(), QStringLiteral("输出日志："));
        QCOMPARE(child<QGroupBox>("分组框6")->title(), QStringLiteral("时间"));
        QCOMPARE(child<QGroupBox>("分组框7")->title(), QStringLiteral("金额（分）"));
        QVERIFY(child<QGroupBox>("分组框11"));
        QVERIFY(child<QPlainTextEdit>("编辑框_参数返回"));
        QVERIFY(child<QPlainTextEdit>("编辑框2"));
        QVERIFY(child<QComboBox>("组合框4"));
        QCOMPARE(child<QLabel>("白名单数")->text(), QStringLiteral("0"));
        QCOMPARE(child<QLabel>("标签_成功数")->text(), QStringLiteral("0"));

        const QStringList terminalColumns{QStringLiteral("设备IP"), QStringLiteral("端口号"), QStringLiteral("机号")};
        QCOMPARE(headers("超级列表框1"), terminalColumns);
        QCOMPARE(headers("超级列表框_设备"), terminalColumns);
        QCOMPARE(headers("超级列表框3"), (QStringList{QStringLiteral("编号"), QStringLiteral("姓名"),
                                                      QStringLiteral("部门"), QStringLiteral("卡号")}));
        auto* online = child<QTreeWidget>("超级列表框1");
        QCOMPARE(online->columnWidth(0), 120);
        QCOMPARE(online->columnWidth(1), 50);
    }

    void fourPagesInOrderAndTheModeList() {
        auto* tabs = child<QTabWidget>("选择夹1");
        QVERIFY(tabs);
        QCOMPARE(tabs->count(), 4);
        QCOMPARE(tabs->tabText(0), QStringLiteral("基础参数"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("时段设置"));
        QCOMPARE(tabs->tabText(2), QStringLiteral("黑白名单"));
        QCOMPARE(tabs->tabText(3), QStringLiteral("数据配置"));
        auto* mode = child<QComboBox>("组合框_消费模式");
        QCOMPARE(mode->count(), 4);
        QCOMPARE(mode->itemText(0), QStringLiteral("0固定模式"));
        QCOMPARE(mode->itemText(3), QStringLiteral("3下传模式"));
    }

    void menusAndTimers() {
        auto items = [&](const char* menu) {
            QStringList out;
            for (auto* a : child<QMenu>(menu)->actions())
                out << a->text();
            return out;
        };
        QCOMPARE(items("设备"), (QStringList{QStringLiteral("添加设备"), QStringLiteral("清空列表")}));
        QCOMPARE(items("参数"), (QStringList{QStringLiteral("删除选中"), QStringLiteral("删除全部")}));
        QCOMPARE(items("名单"), (QStringList{QStringLiteral("刷新名单")}));
        QCOMPARE(child<QTimer>("时钟1")->interval(), 300);
        QVERIFY(child<QTimer>("时钟1")->isActive());
        QCOMPARE(child<QTimer>("时钟2")->interval(), 500);
        QVERIFY(child<QTimer>("时钟2")->isActive());
    }

    void windowCreatedSteps() {
        QVERIFY(!child<QAbstractButton>("按钮_停止")->isEnabled());
        QVERIFY(child<QAbstractButton>("按钮_监听")->isEnabled());
        QVERIFY(child<QRadioButton>("单选框1")->isChecked());
        QVERIFY(child<QRadioButton>("单选框_设置时间")->isChecked());
        QVERIFY(!child<QRadioButton>("单选框2")->isChecked());
        // The two radio pairs are independent of each other.
        child<QRadioButton>("单选框_读取时间")->setChecked(true);
        QVERIFY(child<QRadioButton>("单选框1")->isChecked());

        auto& status = m_window->status();
        QCOMPARE(status.panel(0), QStringLiteral("总数："));
        QCOMPARE(status.panel(StatusPanels::kTotal), QStringLiteral("0"));
        QCOMPARE(status.panel(2), QStringLiteral("本机IP："));
        QCOMPARE(status.panel(4), QStringLiteral("状态："));
        QCOMPARE(status.panel(6), QStringLiteral("操作："));
        QCOMPARE(status.panel(8), QStringLiteral("时间"));
        QCOMPARE(status.panel(StatusPanels::kLocalIp), MainWindow::firstLocalAddress());
        QVERIFY(!MainWindow::firstLocalAddress().isEmpty());
    }

    void clockPanelShowsDateAndTime() {
        m_window->clockTick();
        const QString panel = m_window->status().panel(StatusPanels::kClock);
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$")).match(panel).hasMatch(),
                 qPrintable(panel));
        QCOMPARE(panel, QString::fromStdString(m_service->clock.get().panelText()));
    }

    // Each panel shows its longest text whole, the clock panel included, in the window's width.
    void statusPanelsHoldTheirLongestTexts() {
        m_window->clockTick();
        const std::pair<int, QString> longest[] = {
            {0, QStringLiteral("总数：")},   {1, QStringLiteral("9999")},
            {2, QStringLiteral("本机IP：")}, {3, QStringLiteral("192.168.100.200")},
            {4, QStringLiteral("状态：")},   {5, QStringLiteral("设置设备消费模式=菜单模式")},
            {6, QStringLiteral("操作：")},   {7, QStringLiteral("未配置数据库，请联系Vorlanx技术支持")},
            {8, QStringLiteral("时间")},     {9, m_window->status().panel(StatusPanels::kClock)},
        };
        for (const auto& [index, text] : longest) {
            auto* label = m_window->findChild<QLabel*>(QStringLiteral("panel%1").arg(index));
            QVERIFY(label);
            const int room = label->contentsRect().width() - 2 * label->margin();
            QVERIFY2(label->fontMetrics().horizontalAdvance(text) <= room,
                     qPrintable(QStringLiteral("panel %1: %2 (%3 px at %4 pt) in %5 px")
                                    .arg(index)
                                    .arg(text)
                                    .arg(label->fontMetrics().horizontalAdvance(text))
                                    .arg(label->font().pointSize())
                                    .arg(room)));
        }
    }
};

QTEST_MAIN(WindowLayoutTest)
#include "WindowLayoutTest.moc"
