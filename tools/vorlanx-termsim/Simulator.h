#pragma once

#include "tools/vorlanx-termsim/SimulatorOptions.h"
#include "tools/vorlanx-termsim/SimulatorReport.h"

#include <atomic>
#include <cstdint>

namespace vorlanx::tools {

class SimulatedTerminal;

// Runs a fleet of simulated terminals against the service. The terminals are shared out among a
// few worker threads, each waiting on its terminals' sockets at once; run() joins them all.
class Simulator {
public:
    explicit Simulator(SimulatorOptions options);

    // Binds every terminal, runs until the duration or count is reached and the requests still
    // outstanding are settled or given up, and returns what the terminals saw. A setup failure
    // (a socket that cannot bind, a bad service address) is reported in error with nothing sent.
    SimulatorReport run();
    // Ends a run early from another thread: no new requests; outstanding ones are settled.
    void requestStop() { m_stop = true; }

    // Worker threads used for the given options.
    static unsigned threadCount(const SimulatorOptions& options);

private:
    void runWorker(std::size_t index, SimulatedTerminal* const* terminals, std::size_t count, SimulatorReport& report);
    bool takeRequest();

    SimulatorOptions m_options;
    std::atomic<bool> m_stop{false};
    std::atomic<std::uint64_t> m_started{0};
};

} // namespace vorlanx::tools
