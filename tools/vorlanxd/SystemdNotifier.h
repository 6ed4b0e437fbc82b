#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace vorlanx {

// Tells systemd how vorlanxd is doing under a Type=notify unit: ready once the port is bound and
// the database connect has been tried, reloading, stopping, and the watchdog's heartbeat. Built
// without libsystemd (the Windows build, a machine without it), or run outside systemd (no
// NOTIFY_SOCKET), every call does nothing.
class SystemdNotifier {
public:
    void ready(const std::string& status);
    void reloading();
    void stopping(std::chrono::milliseconds limit);
    void watchdog();
    // The interval within which systemd wants a heartbeat (WatchdogSec=); nullopt without one.
    std::optional<std::chrono::microseconds> watchdogInterval() const;

private:
    void send(const std::string& state);
};

} // namespace vorlanx
