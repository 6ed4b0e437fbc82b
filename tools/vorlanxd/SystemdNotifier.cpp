#include "tools/vorlanxd/SystemdNotifier.h"

#if VORLANX_SYSTEMD
#include <systemd/sd-daemon.h>
#endif

namespace vorlanx {

void SystemdNotifier::ready(const std::string& status) {
    send("READY=1\nSTATUS=" + status);
}

// systemd wants READY=1 again when the reload is over.
void SystemdNotifier::reloading() {
    send("RELOADING=1\nSTATUS=reloading conf.ini");
}

// The stop takes up to the drain and then the time-out of the calls inside the database; systemd is
// told so, in case the unit's TimeoutStopSec was set for a shorter drain.
void SystemdNotifier::stopping(std::chrono::milliseconds limit) {
    send("STOPPING=1\nEXTEND_TIMEOUT_USEC=" +
         std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(limit).count()));
}

void SystemdNotifier::watchdog() {
    send("WATCHDOG=1");
}

std::optional<std::chrono::microseconds> SystemdNotifier::watchdogInterval() const {
#if VORLANX_SYSTEMD
    uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) > 0 && usec > 0)
        return std::chrono::microseconds(usec);
#endif
    return std::nullopt;
}

void SystemdNotifier::send(const std::string& state) {
#if VORLANX_SYSTEMD
    sd_notify(0, state.c_str());
#else
    (void)state;
#endif
}

} // namespace vorlanx
