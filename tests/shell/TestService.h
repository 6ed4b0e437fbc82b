#pragma once

#include "link/SharedClock.h"
#include "link/UdpEndpoint.h"
#include "shell/MainWindow.h"
#include "shell/ServiceContext.h"
#include "tests/support/FakeTerminal.h"
#include "db/ServiceDatabase.h"

#include <QTest>

#include <filesystem>
#include <random>
#include <string>

using vorlanx::test::freeUdpPort;

// The process-wide parts of the service for one test: a fresh service directory under the
// temporary directory (removed afterwards), the listener endpoint, the clock and the database.
// A restart only counts itself.
struct TestService {
    TestService()
        : dir(std::filesystem::temp_directory_path() / ("vorlanx-shell-" + std::to_string(std::random_device{}()))),
          database(dir), context{listener, clock, database, dir, [this] { ++restarts; }} {
        std::filesystem::create_directories(dir);
    }
    ~TestService() {
        listener.close();
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    TestService(const TestService&) = delete;
    TestService& operator=(const TestService&) = delete;

    std::filesystem::path dir;
    vorlanx::link::UdpEndpoint listener;
    vorlanx::link::SharedClock clock;
    vorlanx::db::ServiceDatabase database;
    vorlanx::shell::ServiceContext context;
    int restarts = 0;
};

// A window of its own for every test function: the service parts first (so that a test can
// prepare the service directory), then the window, shown offscreen.
class WindowFixture {
protected:
    void makeService() { m_service = new TestService; }
    bool openWindow() {
        m_window = new vorlanx::shell::MainWindow(m_service->context);
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
