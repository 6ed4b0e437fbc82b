// Saves a picture of the window with each command page shown: vorlanx-shot OUTDIR.
// Used to look at the window the way an operator sees it, without a screen.
#include "link/SharedClock.h"
#include "link/UdpEndpoint.h"
#include "shell/MainWindow.h"
#include "shell/ServiceContext.h"
#include "db/ServiceDatabase.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(dir);
    vorlanx::link::UdpEndpoint listener;
    vorlanx::link::SharedClock clock;
    vorlanx::db::ServiceDatabase database(std::filesystem::path(dir.toStdU16String()));
    vorlanx::shell::ServiceContext context{listener, clock, database, std::filesystem::path(dir.toStdU16String()), {}};
    vorlanx::shell::MainWindow window(context);
    window.show();
    auto* pages = window.findChild<QTabWidget*>(QStringLiteral("选择夹1"));
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        app.processEvents();
        const QString file = QDir(dir).filePath(QStringLiteral("page%1.png").arg(i));
        if (!window.grab().save(file))
            return 1;
    }
    return 0;
}
