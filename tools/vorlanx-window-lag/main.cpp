// vorlanx-window-lag: how responsive the window stays while terminals flood it. Opens the main
// window (offscreen unless a display is asked for) on a built-in database of sample card holders,
// starts listening, lets simulated terminals send card queries at a fixed rate, and measures how
// late a 100 ms timer fires on the UI thread meanwhile.
//
// usage: vorlanx-window-lag [RATE [SECONDS [TERMINALS]]]
//        (default 10000 datagrams/s for 10 s from 128 terminals, each on its own address)

#include "config/IniFile.h"
#include "db/BuiltinDatabaseAdmin.h"
#include "db/ServiceDatabase.h"
#include "link/SharedClock.h"
#include "link/UdpEndpoint.h"
#include "service/VorlanxService.h"
#include "shell/MainWindow.h"
#include "tools/vorlanx-termsim/LatencyHistogram.h"
#include "tools/vorlanx-termsim/Simulator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#ifndef _WIN32
#include <sys/resource.h>
#endif

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const double rate = argc > 1 ? std::atof(argv[1]) : 10000.0;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 10.0;
    const int terminals = argc > 3 ? std::atoi(argv[3]) : 128;
    if (!(rate > 0) || !(seconds > 0) || terminals < 1 || terminals > 60000) {
        std::fprintf(stderr, "usage: vorlanx-window-lag [RATE [SECONDS [TERMINALS]]]\n");
        return 2;
    }
#ifndef _WIN32
    // A socket per simulated terminal.
    if (rlimit files{}; getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
#endif
    QApplication app(argc, argv);

    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("vorlanx-window-lag-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    {
        const vorlanx::config::IniFile conf(dir / "conf.ini");
        vorlanx::db::BuiltinDatabaseAdmin admin;
        if (!conf.writeValue("sername", "type", "2") || !conf.writeValue("mssql", "名称", "canteen") ||
            !admin.open((dir / "canteen.db").string()) || !admin.addDemoHolders(1000)) {
            std::fprintf(stderr, "vorlanx-window-lag: cannot set up %s\n", dir.string().c_str());
            return 1;
        }
    }

    int status = 0;
    {
        vorlanx::service::VorlanxService service({dir, [] { return false; }});
        vorlanx::shell::MainWindow window(service);
        window.show();

        vorlanx::link::UdpEndpoint probe;
        probe.open({});
        probe.bindPort("", 0);
        const std::uint16_t port = probe.localPort();
        probe.close();
        window.findChild<QLineEdit*>(QStringLiteral("编辑框_端口1"))->setText(QString::number(port));
        window.findChild<QPushButton*>(QStringLiteral("按钮_监听"))->click();

        vorlanx::tools::SimulatorOptions o;
        o.servicePort = port;
        o.terminals = terminals;
        o.rate = rate;
        o.durationSeconds = seconds;
        o.heartbeat = std::chrono::milliseconds(0);
        o.timeout = std::chrono::milliseconds(1000);
        o.attempts = 1;
        o.cards.clear();
        for (std::uint32_t c = 12345678; c < 12345678 + 1000; ++c)
            o.cards.push_back(c);
        vorlanx::tools::Simulator simulator(o);
        vorlanx::tools::SimulatorReport report;

        // The timer's lateness on the UI thread: time between two firings beyond its 100 ms.
        vorlanx::tools::LatencyHistogram lateness;
        QElapsedTimer since;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(100);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 us = since.nsecsElapsed() / 1000;
            since.restart();
            lateness.record(static_cast<std::uint64_t>(std::max<qint64>(0, us - 100000)));
        });

        std::jthread flood;
        QTimer::singleShot(1000, [&] { // the start-up load of the database comes first
            flood = std::jthread([&] {
                report = simulator.run();
                QMetaObject::invokeMethod(
                    &app, [&] { app.quit(); }, Qt::QueuedConnection);
            });
            since.start();
            tick.start();
        });
        app.exec();
        tick.stop();
        flood.join();

        std::printf("flood: %.0f datagrams/s asked, %.0f answered/s, sent %llu, answered %llu, lost %llu\n", rate,
                    report.rate(), static_cast<unsigned long long>(report.sent),
                    static_cast<unsigned long long>(report.answered), static_cast<unsigned long long>(report.lost));
        std::printf("online list: %d rows\n",
                    window.findChild<QTreeWidget*>(QStringLiteral("超级列表框1"))->topLevelItemCount());
        std::printf("window: 100 ms timer late by p50 %.1f ms, p99 %.1f ms, max %.1f ms over %llu firings "
                    "(target: under 100 ms)\n",
                    static_cast<double>(lateness.percentile(0.5)) / 1000,
                    static_cast<double>(lateness.percentile(0.99)) / 1000, static_cast<double>(lateness.max()) / 1000,
                    static_cast<unsigned long long>(lateness.count()));
        std::printf("{\"window_late_p99_ms\": %.1f, \"window_late_max_ms\": %.1f}\n",
                    static_cast<double>(lateness.percentile(0.99)) / 1000, static_cast<double>(lateness.max()) / 1000);
        status = lateness.max() < 100000 ? 0 : 3;
        service.stopListening();
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return status;
}
