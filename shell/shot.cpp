// Saves a picture of the window with each command page shown: vorlanx-shot OUTDIR.
// Used to look at the window the way an operator sees it, without a screen.
#include "service/VorlanxService.h"
#include "shell/MainWindow.h"
#include "shell/Widgets.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(dir);
    vorlanx::service::VorlanxService service({std::filesystem::path(dir.toStdU16String()), [] { return false; }});
    vorlanx::shell::MainWindow window(service);
    window.show();
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
