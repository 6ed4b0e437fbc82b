// The personnel list on page 黑白名单 against the service's list in force: a refresh that fails
// leaves the rows a download would send on show, and the menu's refresh needs no selected row.

#include "TestService.h"
#include "db/BuiltinDatabaseAdmin.h"
#include "link/Gbk.h"
#include "shell/ListMenu.h"
#include "shell/StatusPanels.h"
#include "txn/TransactionTexts.h"

#include <QLabel>
#include <QTreeWidget>

#include <fstream>
#include <sstream>

using vorlanx::shell::ListMenu;
using vorlanx::shell::StatusPanels;

class PersonnelListTest : public QObject, protected WindowFixture {
    Q_OBJECT

    QStringList shownRows() {
        auto* list = child<QTreeWidget>("超级列表框3");
        QStringList rows;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = list->topLevelItem(i);
            rows << QStringList{item->text(0), item->text(1), item->text(2), item->text(3)}.join(u'|');
        }
        return rows;
    }
    QStringList rowsInForce() {
        QStringList rows;
        for (const auto& r : m_service->service.personnelRows())
            rows << QString::fromStdString(r.code + "|" + r.name + "|" + r.department + "|" + r.card);
        return rows;
    }
    QString operation() { return m_window->status().panel(StatusPanels::kOperation); }

private slots:
    void init() {
        makeService();
        vorlanx::db::BuiltinDatabaseAdmin admin;
        QVERIFY(admin.open((m_service->dir / "canteen.db").string()));
        std::istringstream three("0001,张三,食堂部,1001,100\n0002,李四,财务部,1002,100\n0003,王五,研发部,1003,100\n");
        QVERIFY(admin.importCsv(three).ok);
        std::ofstream(m_service->dir / "conf.ini", std::ios::binary)
            << "[sername]\r\ntype=2\r\n[mssql]\r\n" + vorlanx::link::toGbk("名称") + "=canteen\r\n";
    }
    void cleanup() { closeAll(); }

    void failedRefreshKeepsTheRowsInForceShown() {
        QVERIFY(openWindow());
        QTRY_COMPARE_WITH_TIMEOUT(operation(), QStringLiteral("人事档案数：3"), 20000);
        QCOMPARE(shownRows().size(), 3);

        m_service->database.disconnect();
        auto* menu = child<ListMenu>("名单");
        auto* list = child<QTreeWidget>("超级列表框3");
        menu->prepareAt(QPoint(5, list->viewport()->height() - 2));
        QAction* refresh = menu->item(vorlanx::ui::Command::RefreshPersonnel);
        QVERIFY(refresh->isEnabled());
        refresh->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(operation(),
                                  QString::fromUtf8(vorlanx::txn::kPersonnelLoadFailedText.data(),
                                                    vorlanx::txn::kPersonnelLoadFailedText.size()),
                                  20000);
        QCOMPARE(shownRows(), rowsInForce());
        QCOMPARE(shownRows().size(), 3);
        QCOMPARE(child<QLabel>("白名单数")->text(), QStringLiteral("3"));
    }
};

QTEST_MAIN(PersonnelListTest)
#include "PersonnelListTest.moc"
