#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace vorlanx::tools {

enum class RequestKind { CardQuery = 0, OnlinePayment = 1, OfflineUpload = 2 };
inline constexpr std::size_t kRequestKinds = 3;

// How a run of simulated terminals behaves. Closed loop when rate is 0: every terminal sends its
// next request as soon as the last one is settled. Open loop otherwise: requests start at a fixed
// rate on whichever terminal is free, and latency counts from the moment a request was due.
struct SimulatorOptions {
    std::string serviceAddress = "127.0.0.1";
    std::uint16_t servicePort = 3000;
    int terminals = 1;
    // Weights of card queries, online payments and offline uploads; all 0 leaves the terminals
    // idle, answering administration frames and sending keep-alives only.
    std::array<unsigned, kRequestKinds> mix{1, 0, 0};
    double rate = 0;
    // The run ends after this many seconds, or after count requests; neither: 10 seconds.
    double durationSeconds = 0;
    std::uint64_t count = 0;
    std::vector<std::uint32_t> cards{12345678};
    std::uint32_t amountMinFen = 1;
    std::uint32_t amountMaxFen = 300;
    // Share of sends replaced by a hostile datagram.
    double garbage = 0;
    // Share of requests preceded by an "81" setting reply, as a terminal sends after a setting.
    double settingDone = 0;
    // A terminal resends a request that got no reply within the time-out, up to attempts sends.
    std::chrono::milliseconds timeout{1000};
    int attempts = 4;
    // After a request sent more than once is settled, the terminal waits up to this long after
    // its last send for the replies to its other sends before it starts the next request, so that
    // a late reply is never taken for the next one's; 0 waits one time-out.
    std::chrono::milliseconds settle{0};
    // Keep-alive ("74") period per terminal; 0 sends none.
    std::chrono::milliseconds heartbeat{5000};
    // Machine number of the first terminal; the others follow it.
    unsigned firstMachine = 1;
    // Terminal k (from 1) sends from 127.0.0.(k + 1) when the service is on loopback.
    bool distinctAddresses = true;
    // Terminal k sends from the address (firstAddress + k) places after 127.0.0.1 instead.
    unsigned firstAddress = 0;
    // Fault trigger: share of good replies to requests that a terminal ignores as if they were
    // lost on the way, so that it resends.
    double dropReplies = 0;
    unsigned threads = 0; // 0: chosen from the terminal count and the machine
    std::uint64_t seed = 1;
    // The terminals' clock for offline records (seconds since the epoch) at the first record; 0 is
    // now. Tests set it to put records at the edges of meal periods.
    std::int64_t recordClockStart = 0;
    // Keep every acknowledged booking in the report (for checks against the database).
    bool keepLedger = false;
};

} // namespace vorlanx::tools
