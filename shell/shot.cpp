// Saves a picture of the window with each command page shown: vorlanx-shot OUTDIR [--sample].
// Used to look at the window the way an operator sees it, without a screen. With --sample the
// lists hold a few rows and the status panels their longest texts, to see that they fit.
#include "service/VorlanxService.h"
#include "shell/MainWindow.h"
#include "shell/StatusPanels.h"
#include "shell/Widgets.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <QTreeWidget>

namespace {

void fillSample(vorlanx::shell::MainWindow& window) {
    using vorlanx::shell::StatusPanels;
    window.status().setPanel(StatusPanels::kStatus, QStringLiteral("设置设备消费模式=菜单模式"));
    window.status().setPanel(StatusPanels::kOperation, QStringLiteral("未配置数据库，请联系Vorlanx技术支持"));
    window.status().setPanel(StatusPanels::kLocalIp, QStringLiteral("192.168.100.200"));
    for (const vorlanx::ui::Id id : {vorlanx::ui::Id::OnlineList, vorlanx::ui::Id::TerminalList}) {
        auto* list = window.findChild<QTreeWidget*>(vorlanx::shell::qText(vorlanx::ui::control(id).name));
        for (int i = 1; i <= 3; ++i)
            new QTreeWidgetItem(
                list, {QStringLiteral("192.168.100.%1").arg(200 + i), QStringLiteral("3000"), QString::number(i)});
    }
    auto* people = window.findChild<QTreeWidget*>(
        vorlanx::shell::qText(vorlanx::ui::control(vorlanx::ui::Id::PersonnelList).name));
    for (int i = 1; i <= 3; ++i)
        new QTreeWidgetItem(people,
                            {QStringLiteral("P%1").arg(i, 4, 10, QLatin1Char('0')), QStringLiteral("欧阳明%1").arg(i),
                             QStringLiteral("食堂管理科"), QString::number(4000000000U + static_cast<unsigned>(i))});
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    const bool sample = argc > 2 && QString::fromLocal8Bit(argv[2]) == QStringLiteral("--sample");
    QDir().mkpath(dir);
    vorlanx::service::VorlanxService service({std::filesystem::path(dir.toStdU16String()), [] { return false; }});
    vorlanx::shell::MainWindow window(service);
    window.show();
    if (sample) {
        app.processEvents();
        fillSample(window);
    }
    auto* pages =
        window.findChild<QTabWidget*>(vorlanx::shell::qText(vorlanx::ui::control(vorlanx::ui::Id::Pages).name));
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        app.processEvents();
        const QString file = QDir(dir).filePath(QStringLiteral("page%1.png").arg(i));
        if (!window.grab().save(file))
            return 1;
    }
    return 0;
}
