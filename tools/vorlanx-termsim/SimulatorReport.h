#pragma once

#include "tools/vorlanx-termsim/LatencyHistogram.h"
#include "tools/vorlanx-termsim/SimulatorOptions.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vorlanx::tools {

// One booking a terminal saw acknowledged: a payment answered "paid", or an offline record
// answered with "77".
struct LedgerEntry {
    RequestKind kind = RequestKind::OnlinePayment;
    std::uint32_t card = 0;
    std::uint16_t machine = 0;
    std::uint32_t amountFen = 0;
    std::string recordTime; // offline records only
};

struct KindReport {
    std::uint64_t sent = 0;
    std::uint64_t answered = 0;
    std::uint64_t lost = 0;
    LatencyHistogram latency;
};

// What a run saw. sent = answered + lost: a request counts once however often it was resent.
struct SimulatorReport {
    std::uint64_t sent = 0;
    std::uint64_t answered = 0;
    std::uint64_t resent = 0;
    std::uint64_t lost = 0;
    std::uint64_t malformed = 0;  // bad header, checksum, length or machine number, wrong reply
    std::uint64_t duplicates = 0; // further replies to a request that was sent more than once
    std::uint64_t unexpected = 0; // good frames nobody asked for
    std::uint64_t dropped = 0;    // replies ignored by the fault trigger
    std::uint64_t garbage = 0;
    std::uint64_t sendFailures = 0;
    std::uint64_t heartbeatsSent = 0;
    std::uint64_t heartbeatsAnswered = 0;
    std::uint64_t heartbeatsLost = 0;
    std::uint64_t adminFrames = 0;
    // Card queries answered with result 1 (card usable).
    std::uint64_t usable = 0;
    // Every "paid" reply is one booking, the duplicates and the dropped ones included.
    std::uint64_t paid = 0;
    std::uint64_t paidFen = 0;
    std::uint64_t droppedPaid = 0;
    std::uint64_t droppedPaidFen = 0;
    std::uint64_t refused = 0;
    // Offline records acknowledged, each once.
    std::uint64_t offlineAcknowledged = 0;
    std::uint64_t offlineFen = 0;
    double seconds = 0;
    std::array<KindReport, kRequestKinds> kinds;
    LatencyHistogram latency;
    std::vector<LedgerEntry> ledger;
    std::string error;

    void merge(const SimulatorReport& other);
    // Answered requests per second over the run.
    double rate() const;
    std::string summaryText() const;
    std::string json() const;
    // One line per entry: kind (online or offline),card,machine,amount,recordTime (empty online).
    std::string ledgerCsv() const;
};

} // namespace vorlanx::tools
