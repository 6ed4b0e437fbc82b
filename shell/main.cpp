#include "service/VorlanxService.h"
#include "shell/MainWindow.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // From UTF-16, so that a directory with Chinese characters is the same path on every platform.
    const std::filesystem::path serviceDir(QCoreApplication::applicationDirPath().toStdU16String());
    // The service exists, without a socket, before the window; the operator starts listening.
    vorlanx::service::VorlanxService service({serviceDir, {}});
    int rc = 0;
    {
        vorlanx::shell::MainWindow window(service);
        window.show();
        rc = app.exec();
    }
    service.stopListening();
    return rc;
}
