#pragma once

#include "link/SharedClock.h"
#include "link/UdpEndpoint.h"
#include "db/ServiceDatabase.h"

#include <filesystem>
#include <functional>

namespace vorlanx::shell {

// The process-wide parts the window works with. They are created before the window and live
// until the process ends; tests make their own.
struct ServiceContext {
    link::UdpEndpoint& listener;
    link::SharedClock& clock;
    db::ServiceDatabase& database;
    // Where conf.ini and the built-in database live: the executable's directory.
    std::filesystem::path serviceDir;
    // Ends this process and starts it again after a few seconds; called after a save of working
    // database settings, once the window has closed.
    std::function<void()> restart;
};

} // namespace vorlanx::shell
