#include "shell/ListMenu.h"
#include "shell/MainWindow.h"
#include "TestService.h"

#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

using vorlanx::shell::ListMenu;
using vorlanx::shell::MainWindow;

class TerminalListsTest : public QObject, protected WindowFixture {
    Q_OBJECT

    QTreeWidget* m_online = nullptr;
    QTreeWidget* m_terminals = nullptr;

    QAction* item(const char* menu, const char* text) {
        for (auto* a : child<ListMenu>(menu)->actions())
            if (a->text() == QString::fromUtf8(text))
                return a;
        return nullptr;
    }
    QStringList sendFields() {
        return {child<QLineEdit>("IP编辑框1")->text(), child<QLineEdit>("编辑框_发送端口")->text(),
                child<QLineEdit>("编辑框_发送机号")->text()};
    }
    QStringList column(QTreeWidget* list, int c) {
        QStringList out;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            out << list->topLevelItem(i)->text(c);
        return out;
    }
    // Three heard terminals, as the dispatcher lists them.
    void hearThree() {
        new QTreeWidgetItem(m_online, {QStringLiteral("10.0.0.5"), QStringLiteral("3001"), QStringLiteral("5")});
        new QTreeWidgetItem(m_online, {QStringLiteral("10.0.0.6"), QStringLiteral("3002"), QStringLiteral("6")});
        new QTreeWidgetItem(m_online, {QStringLiteral("10.0.0.7"), QStringLiteral("3003"), QStringLiteral("7")});
    }
    QPoint rowPoint(QTreeWidget* list, int row) { return list->visualItemRect(list->topLevelItem(row)).center(); }
    QPoint belowRows(QTreeWidget* list) { return QPoint(10, list->viewport()->height() - 3); }

private slots:
    void init() {
        makeService();
        QVERIFY(openWindow());
        m_online = child<QTreeWidget>("超级列表框1");
        m_terminals = child<QTreeWidget>("超级列表框_设备");
    }
    void cleanup() {
        closeAll();
    }

    void clickOnAnOnlineRowFillsTheSendFields() {
        hearThree();
        child<QLineEdit>("编辑框_发送机号")->setText(QStringLiteral("99"));
        QTest::mouseClick(m_online->viewport(), Qt::LeftButton, {}, rowPoint(m_online, 1));
        QCOMPARE(sendFields(), (QStringList{QStringLiteral("10.0.0.6"), QStringLiteral("3002"), QStringLiteral("6")}));
        // The keyboard moves the selection without touching the fields.
        m_online->setFocus();
        QTest::keyClick(m_online, Qt::Key_Down);
        QCOMPARE(sendFields().at(0), QStringLiteral("10.0.0.6"));
    }

    void addDevicesCopiesEveryRowOnceAndShowsTheDataPage() {
        hearThree();
        m_online->setCurrentItem(m_online->topLevelItem(1));
        item("设备", "添加设备")->trigger();
        item("设备", "添加设备")->trigger();
        QCOMPARE(column(m_terminals, 0),
                 (QStringList{QStringLiteral("10.0.0.5"), QStringLiteral("10.0.0.6"), QStringLiteral("10.0.0.7")}));
        QCOMPARE(column(m_online, 0).size(), 3);
        QCOMPARE(child<QTabWidget>("选择夹1")->currentIndex(), 3);
        QCOMPARE(sendFields(), (QStringList{QStringLiteral("10.0.0.5"), QStringLiteral("3001"), QStringLiteral("5")}));
    }

    void clearListEmptiesOnlyTheOnlineList() {
        hearThree();
        item("设备", "添加设备")->trigger();
        item("设备", "清空列表")->trigger();
        QCOMPARE(m_online->topLevelItemCount(), 0);
        QCOMPARE(m_terminals->topLevelItemCount(), 3);
        QCOMPARE(sendFields().at(0), QStringLiteral("10.0.0.5"));
    }

    void rightClickDecidesWhatTheMenuOffers() {
        hearThree();
        item("设备", "添加设备")->trigger();
        auto* params = child<ListMenu>("参数");
        params->prepareAt(belowRows(m_terminals));
        QVERIFY(!item("参数", "删除选中")->isEnabled());
        QVERIFY(item("参数", "删除全部")->isEnabled());

        m_terminals->setCurrentItem(m_terminals->topLevelItem(1));
        params->prepareAt(rowPoint(m_terminals, 1));
        QVERIFY(item("参数", "删除选中")->isEnabled());
        item("参数", "删除选中")->trigger();
        QCOMPARE(column(m_terminals, 0), (QStringList{QStringLiteral("10.0.0.5"), QStringLiteral("10.0.0.7")}));

        child<ListMenu>("设备")->prepareAt(belowRows(m_online));
        QVERIFY(!item("设备", "添加设备")->isEnabled());
        QVERIFY(item("设备", "清空列表")->isEnabled());
        // A refresh needs no row: an empty personnel list must still be refreshed.
        child<ListMenu>("名单")->prepareAt(belowRows(child<QTreeWidget>("超级列表框3")));
        QVERIFY(item("名单", "刷新名单")->isEnabled());

        item("参数", "删除全部")->trigger();
        QCOMPARE(m_terminals->topLevelItemCount(), 0);
    }
};

QTEST_MAIN(TerminalListsTest)
#include "TerminalListsTest.moc"
