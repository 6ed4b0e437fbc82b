#pragma once

#include "link/SharedClock.h"
#include "link/UdpEndpoint.h"
#include "shell/ServiceContext.h"
#include "tests/support/FakeTerminal.h"
#include "txn/ServiceDatabase.h"

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
    vorlanx::txn::ServiceDatabase database;
    vorlanx::shell::ServiceContext context;
    int restarts = 0;
};
