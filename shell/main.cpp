#include "link/SharedClock.h"
#include "link/UdpEndpoint.h"
#include "shell/MainWindow.h"
#include "shell/ServiceContext.h"
#include "config/ConnectionSettingsSave.h"
#include "service/Restart.h"
#include "db/ServiceDatabase.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // From UTF-16, so that a directory with Chinese characters is the same path on every platform.
    const std::filesystem::path serviceDir(QCoreApplication::applicationDirPath().toStdU16String());
    // The listener endpoint exists, without a socket, before the window; the operator starts it.
    vorlanx::link::UdpEndpoint listener;
    vorlanx::link::SharedClock clock;
    vorlanx::db::ServiceDatabase database(serviceDir);
    vorlanx::shell::ServiceContext context{listener, clock, database, serviceDir,
                                           [] { vorlanx::service::restartSelf(vorlanx::config::kSaveRestartDelay); }};
    int rc = 0;
    {
        vorlanx::shell::MainWindow window(context);
        window.show();
        rc = app.exec();
    }
    listener.close();
    return rc;
}
