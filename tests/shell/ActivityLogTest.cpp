#include "TestService.h"
#include "link/LogText.h"
#include "present/Presenter.h"
#include "shell/AppendBox.h"
#include "shell/MainWindow.h"
#include "tests/support/SampleTime.h"

#include <QPushButton>
#include <QTest>

#include <thread>

using vorlanx::shell::AppendBox;
using vorlanx::shell::MainWindow;

namespace {
QString entry() {
    return QString::fromStdString(
        vorlanx::link::clientEntry(vorlanx::test::may8th2020(10, 5, 3), "192.168.1.20", 3000, {}));
}
} // namespace

class ActivityLogTest : public QObject, protected WindowFixture {
    Q_OBJECT

private slots:
    void init() {
        makeService();
        QVERIFY(openWindow());
    }
    void cleanup() { closeAll(); }

    void sixEntriesStaySevenAreEmptiedOnTheNextTick() {
        auto& log = m_window->log();
        for (int i = 0; i < 6; ++i)
            log.appendText(entry());
        m_window->logTick();
        QCOMPARE(log.pieceCount(), std::size_t{18});
        log.appendText(entry());
        m_window->logTick();
        QVERIFY(log.text().isEmpty());
        QVERIFY(log.toPlainText().isEmpty());
    }

    void twentyPiecesStayTwentyOneGo_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("emptied");
        QString twenty;
        for (int i = 0; i < 18; ++i)
            twenty += QStringLiteral("line\r\n");
        twenty += QStringLiteral("\r\n\r\n"); // empty pieces between adjacent line ends count
        QTest::newRow("20 pieces") << twenty << false;
        QTest::newRow("21 with a tail") << twenty + QStringLiteral("tail") << true;
        QTest::newRow("21 with an empty piece") << twenty + QStringLiteral("\r\n") << true;
    }
    void twentyPiecesStayTwentyOneGo() {
        QFETCH(QString, text);
        QFETCH(bool, emptied);
        auto& log = m_window->log();
        // Appended in two halves that split a CRLF, as two posts from a worker might.
        const int cut = static_cast<int>(text.indexOf(QStringLiteral("\r\n"))) + 1;
        log.appendText(text.left(cut));
        log.appendText(text.mid(cut));
        m_window->logTick();
        QCOMPARE(log.text().isEmpty(), emptied);
    }

    void clearButtonEmptiesTheLogAtOnce() {
        auto& log = m_window->log();
        log.appendText(entry());
        QTest::mouseClick(m_window->findChild<QPushButton*>(QStringLiteral("超级按钮_清空1")), Qt::LeftButton);
        QVERIFY(log.text().isEmpty());
        QCOMPARE(log.pieceCount(), std::size_t{0});
        log.appendText(entry());
        QVERIFY(log.text().startsWith(QStringLiteral("2020年5月8日10时5分3秒\r\n")));
        QVERIFY(log.toPlainText().startsWith(QStringLiteral("2020年5月8日10时5分3秒\n[客户]")));
    }

    void appendKeepsTheCaretAtTheEnd() {
        auto& log = m_window->log();
        log.appendText(entry());
        log.moveCursor(QTextCursor::Start);
        log.appendText(entry());
        QCOMPARE(log.textCursor().position(), log.document()->characterCount() - 1);
    }

    void workerEntriesArriveWholeAndInOrder() {
        auto& presenter = m_window->presenter();
        constexpr int kEntries = 3000;
        std::thread worker([&] {
            for (int i = 0; i < kEntries; ++i)
                presenter.clientEntry("#" + std::to_string(i) + "\r\n");
        });
        worker.join();
        QString collected;
        presenter.reports().setLogSink([&](const std::string& text) { collected += QString::fromStdString(text); });
        QTRY_COMPARE_WITH_TIMEOUT(collected.count(u'#'), kEntries, 5000);
        const auto lines = collected.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        for (int i = 0; i < kEntries; ++i)
            QCOMPARE(lines[i], QStringLiteral("#%1").arg(i));
    }

    void actionsKeepTheirPlaceBetweenLogTexts() {
        auto& reports = m_window->presenter().reports();
        QStringList order;
        reports.setLogSink([&](const std::string& text) { order << QString::fromStdString(text); });
        reports.postLog("a");
        reports.postLog("b");
        reports.post([&] { order << QStringLiteral("action"); });
        reports.postLog("c");
        reports.drain();
        QCOMPARE(order, (QStringList{QStringLiteral("ab"), QStringLiteral("action"), QStringLiteral("c")}));
    }
};

QTEST_MAIN(ActivityLogTest)
#include "ActivityLogTest.moc"
