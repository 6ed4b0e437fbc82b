#include "link/SharedClock.h"
#include "link/UdpEndpoint.h"
#include "shell/MainWindow.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The listener endpoint exists, without a socket, before the window; the operator starts it.
    vorlanx::link::UdpEndpoint listener;
    vorlanx::link::SharedClock clock;
    int rc = 0;
    {
        vorlanx::shell::MainWindow window(listener, clock);
        window.show();
        rc = app.exec();
    }
    listener.close();
    return rc;
}
