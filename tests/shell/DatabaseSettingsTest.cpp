#include "link/Gbk.h"
#include "shell/DatabaseSettingsGroup.h"
#include "shell/MainWindow.h"
#include "shell/MessageBox.h"
#include "shell/StatusPanels.h"
#include "shell/TimeField.h"
#include "config/IniFile.h"
#include "TestService.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <fstream>
#include <sstream>

using vorlanx::shell::MainWindow;
using vorlanx::shell::MessageBox;
using vorlanx::shell::StatusPanels;

namespace {
std::string gbk(const char* utf8) { return *vorlanx::link::utf8ToGbk(utf8); }

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
} // namespace

class DatabaseSettingsTest : public QObject, protected WindowFixture {
    Q_OBJECT

    // Writes conf.ini as an engineer would by hand: GBK bytes, CRLF line ends.
    void writeConf(const std::string& bytes) {
        std::ofstream(m_service->dir / "conf.ini", std::ios::binary) << bytes;
    }
    QString status() { return m_window->status().panel(StatusPanels::kStatus); }
    void fill(const char* server, const char* name, const char* user, const char* password) {
        child<QLineEdit>("IP编辑框_服务地址")->setText(QString::fromUtf8(server));
        child<QLineEdit>("编辑框_数据库名称")->setText(QString::fromUtf8(name));
        child<QLineEdit>("编辑框_登录用户")->setText(QString::fromUtf8(user));
        child<QLineEdit>("编辑框_登录密码")->setText(QString::fromUtf8(password));
    }
    void clickSave() { QTest::mouseClick(child<QPushButton>("按钮_保存数据配置"), Qt::LeftButton); }

private slots:
    void init() {
        MessageBox::setCapture(true);
        makeService();
    }
    void cleanup() {
        closeAll();
        MessageBox::setCapture(false);
    }

    void firstStartWithoutAFile() {
        QVERIFY(openWindow());
        QCOMPARE(status(), QStringLiteral("A连接失败"));
        QVERIFY(!m_window->status().panel(StatusPanels::kOperation).isEmpty());
        QCOMPARE(child<QLineEdit>("IP编辑框_服务地址")->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(child<QLineEdit>("编辑框_数据库名称")->text(), QString());
        QCOMPARE(child<QLineEdit>("编辑框_登录用户")->text(), QStringLiteral("sa"));
        QCOMPARE(child<QLineEdit>("编辑框_登录密码")->text(), QStringLiteral("468"));
        QVERIFY(child<QCheckBox>("选择框_数据库选择")->isChecked());
        QVERIFY(!child<QCheckBox>("选择框_内置库")->isChecked());
        QCOMPARE(child<vorlanx::shell::TimeField>("编辑框中A")->text(), QStringLiteral("09:31:01"));
        QVERIFY(!m_service->database.isConnected());
    }

    void handWrittenGbkFileSelectsTheBuiltinDatabase() {
        writeConf("[sername]\r\ntype=2\r\n[mssql]\r\n" + gbk("名称") + "=canteen\r\n[" + gbk("时段参数") +
                  "]\r\ntime2=10:00:00-13:00:00\r\ntime3=-13:00:00\r\n[" + gbk("时段金额") + "]\r\nmoney1=350\r\n");
        QVERIFY(openWindow());
        QCOMPARE(child<vorlanx::shell::TimeField>("编辑框中A")->text(), QStringLiteral("10:00:00"));
        QCOMPARE(child<vorlanx::shell::TimeField>("编辑框中B")->text(), QStringLiteral("13:00:00"));
        QCOMPARE(child<vorlanx::shell::TimeField>("编辑框晚A")->text(), QStringLiteral("14:01:01"));
        QCOMPARE(child<vorlanx::shell::TimeField>("编辑框晚B")->text(), QStringLiteral("19:00:01"));
        QCOMPARE(child<QLineEdit>("编辑框_金额1")->text(), QStringLiteral("350"));
        QCOMPARE(child<QLineEdit>("编辑框_金额2")->text(), QStringLiteral("100"));
        QVERIFY(child<QCheckBox>("选择框_内置库")->isChecked());
        QVERIFY(!child<QCheckBox>("选择框_数据库选择")->isChecked());
        QCOMPARE(child<QLineEdit>("编辑框_数据库名称")->text(), QStringLiteral("canteen"));
        QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("A连接成功"), 10000);
        QVERIFY(m_service->database.isConnected());
        QVERIFY(std::filesystem::exists(m_service->dir / "canteen.db"));
    }

    void typeZeroConnectsToNothing() {
        writeConf("[sername]\r\ntype=0\r\n[mssql]\r\n" + gbk("名称") + "=canteen\r\n");
        QVERIFY(openWindow());
        QVERIFY(!child<QCheckBox>("选择框_数据库选择")->isChecked());
        QVERIFY(!child<QCheckBox>("选择框_内置库")->isChecked());
        QCOMPARE(child<QLineEdit>("编辑框_数据库名称")->text(), QString());
        QCOMPARE(status(), QString());
        QVERIFY(!m_service->database.isConnected());
    }

    void saveStopsAtTheFirstEmptyBox_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::newRow("server") << "" << "db" << "sa" << "pw" << QStringLiteral("服务地址错误");
        QTest::newRow("name") << "10.0.0.1" << "" << "" << "" << QStringLiteral("数据库名称错误");
        QTest::newRow("user") << "10.0.0.1" << "db" << "" << "pw" << QStringLiteral("登录用户错误");
        QTest::newRow("password") << "10.0.0.1" << "db" << "sa" << "" << QStringLiteral("密码错误");
    }
    void saveStopsAtTheFirstEmptyBox() {
        QFETCH(QString, server);
        QFETCH(QString, name);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, message);
        QVERIFY(openWindow());
        MessageBox::takeShown();
        fill(server.toUtf8(), name.toUtf8(), user.toUtf8(), password.toUtf8());
        clickSave();
        QCOMPARE(MessageBox::takeShown(), QStringList{message});
        QVERIFY(!std::filesystem::exists(m_service->dir / "conf.ini"));
    }

    // The server box holds what SQL Server clients take: a value of conf.ini is shown as it is and
    // saved back unchanged, and the operator can type one; a malformed one is refused.
    void serverAddressAsSqlServerClientsWriteIt_data() {
        QTest::addColumn<QString>("stored");
        QTest::newRow("host,port") << "127.0.0.1,14330";
        QTest::newRow("host\\instance") << "HOST\\SQLEXPRESS";
    }
    void serverAddressAsSqlServerClientsWriteIt() {
        QFETCH(QString, stored);
        writeConf("[sername]\r\ntype=1\r\n[mssql]\r\n" + gbk("服务") + "=" + stored.toStdString() + "\r\n" +
                  gbk("名称") + "=canteen\r\n" + gbk("用户") + "=sa\r\n" + gbk("密码") + "=468\r\n");
        QVERIFY(openWindow());
        auto* server = child<QLineEdit>("IP编辑框_服务地址");
        QCOMPARE(server->text(), stored);
        QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("A连接失败"), 120000);
        child<QCheckBox>("选择框_数据库选择")->setChecked(false);
        clickSave();
        QVERIFY(MessageBox::takeShown().isEmpty());
        vorlanx::config::IniFile ini(m_service->dir / "conf.ini");
        QCOMPARE(ini.readValue("mssql", "服务"), stored.toStdString());

        server->clear();
        QTest::keyClicks(server, QStringLiteral("db-2\\SQLEXPRESS,14330"));
        QCOMPARE(server->text(), QStringLiteral("db-2\\SQLEXPRESS,14330"));
        clickSave();
        QCOMPARE(ini.readValue("mssql", "服务"), std::string("db-2\\SQLEXPRESS,14330"));

        for (const char* malformed : {"127.0.0.1,70000", "10.0.0", "db 2", "HOST\\"}) {
            server->setText(QString::fromUtf8(malformed));
            clickSave();
            QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("服务地址错误")});
        }
        QCOMPARE(ini.readValue("mssql", "服务"), std::string("db-2\\SQLEXPRESS,14330"));
    }

    void saveWithNoDatabaseTickedWritesTypeZeroWithoutConnecting() {
        QVERIFY(openWindow());
        fill("10.0.0.9", "canteen", "sa", "secret");
        child<QCheckBox>("选择框_数据库选择")->setChecked(false);
        clickSave();
        QVERIFY(MessageBox::takeShown().isEmpty());
        vorlanx::config::IniFile ini(m_service->dir / "conf.ini");
        QCOMPARE(ini.readValue("sername", "type"), std::string("0"));
        QCOMPARE(ini.readValue("mssql", "服务"), std::string("10.0.0.9"));
        QCOMPARE(ini.readValue("mssql", "密码"), std::string("secret"));
        QVERIFY(readFile(m_service->dir / "conf.ini").find(gbk("服务")) != std::string::npos);
        QCOMPARE(m_service->restarts, 0);
    }

    void saveThatCannotConnectLeavesTheFileAlone() {
        writeConf("[sername]\r\ntype=0\r\n");
        QVERIFY(openWindow());
        // A built-in database whose file cannot be created: its folder is a plain file.
        std::ofstream(m_service->dir / "blocker") << "x";
        child<QCheckBox>("选择框_内置库")->setChecked(true);
        QVERIFY(!child<QCheckBox>("选择框_数据库选择")->isChecked());
        fill("", (m_service->dir / "blocker" / "inner.db").string().c_str(), "", "");
        clickSave();
        auto* group = child<vorlanx::shell::DatabaseSettingsGroup>("分组框11");
        QVERIFY(group->connecting());
        QTRY_VERIFY_WITH_TIMEOUT(!group->connecting(), 10000);
        QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("A连接失败")});
        QCOMPARE(readFile(m_service->dir / "conf.ini"), std::string("[sername]\r\ntype=0\r\n"));
        QCOMPARE(m_service->restarts, 0);
    }

    void saveThatConnectsWritesTheFileAndRestarts() {
        QVERIFY(openWindow());
        child<QCheckBox>("选择框_内置库")->setChecked(true);
        fill("127.0.0.1", "kitchen", "sa", "468");
        clickSave();
        QTRY_COMPARE_WITH_TIMEOUT(m_service->restarts, 1, 10000);
        QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("A连接成功")});
        QVERIFY(!m_window->isVisible());
        vorlanx::config::IniFile ini(m_service->dir / "conf.ini");
        QCOMPARE(ini.readValue("sername", "type"), std::string("2"));
        QCOMPARE(ini.readValue("mssql", "名称"), std::string("kitchen"));
        QVERIFY(std::filesystem::exists(m_service->dir / "kitchen.db"));
    }
};

QTEST_MAIN(DatabaseSettingsTest)
#include "DatabaseSettingsTest.moc"
