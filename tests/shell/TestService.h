#pragma once

#include "service/VorlanxService.h"
#include "shell/MainWindow.h"
#include "tests/support/FakeTerminal.h"

#include <QTest>

#include <filesystem>
#include <random>
#include <string>

using vorlanx::test::freeUdpPort;

// The service for one test, in a fresh service directory under the temporary directory (removed
// afterwards), with its listener endpoint, clock and database at hand. A restart only counts itself.
struct TestService {
    TestService()
        : dir(makeDir()), service({dir,
                                   [this] {
                                       ++restarts;
                                       return restartWorks;
                                   }}),
          listener(service.endpoint()), clock(service.clock()), database(service.database()) {}
    ~TestService() {
        service.stopListening();
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    TestService(const TestService&) = delete;
    TestService& operator=(const TestService&) = delete;

    static std::filesystem::path makeDir() {
        auto dir = std::filesystem::temp_directory_path() / ("vorlanx-shell-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(dir);
        return dir;
    }

    std::filesystem::path dir;
    vorlanx::service::VorlanxService service;
    vorlanx::link::UdpEndpoint& listener;
    vorlanx::link::SharedClock& clock;
    vorlanx::db::ServiceDatabase& database;
    int restarts = 0;
    bool restartWorks = true;
};

// A window of its own for every test function: the service parts first (so that a test can
// prepare the service directory), then the window, shown offscreen.
class WindowFixture {
protected:
    void makeService() { m_service = new TestService; }
    bool openWindow() {
        m_window = new vorlanx::shell::MainWindow(m_service->service);
        m_window->show();
        return QTest::qWaitForWindowExposed(m_window);
    }
    void closeAll() {
        delete m_window;
        m_window = nullptr;
        delete m_service;
        m_service = nullptr;
    }
    template <typename T> T* child(const char* name) const {
        auto* w = m_window->findChild<T*>(QString::fromUtf8(name));
        if (!w)
            qWarning("missing control %s", name);
        return w;
    }

    TestService* m_service = nullptr;
    vorlanx::shell::MainWindow* m_window = nullptr;
};
