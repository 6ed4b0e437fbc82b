#include "tools/vorlanx-termsim/SimulatorReport.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace vorlanx::tools {

namespace {

constexpr const char* kKindNames[kRequestKinds] = {"query", "payment", "offline"};

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

} // namespace

void SimulatorReport::merge(const SimulatorReport& o) {
    sent += o.sent;
    answered += o.answered;
    resent += o.resent;
    lost += o.lost;
    malformed += o.malformed;
    duplicates += o.duplicates;
    unexpected += o.unexpected;
    dropped += o.dropped;
    garbage += o.garbage;
    sendFailures += o.sendFailures;
    heartbeatsSent += o.heartbeatsSent;
    heartbeatsAnswered += o.heartbeatsAnswered;
    heartbeatsLost += o.heartbeatsLost;
    adminFrames += o.adminFrames;
    usable += o.usable;
    paid += o.paid;
    paidFen += o.paidFen;
    droppedPaid += o.droppedPaid;
    droppedPaidFen += o.droppedPaidFen;
    refused += o.refused;
    offlineAcknowledged += o.offlineAcknowledged;
    offlineFen += o.offlineFen;
    seconds = std::max(seconds, o.seconds);
    for (std::size_t k = 0; k < kRequestKinds; ++k) {
        kinds[k].sent += o.kinds[k].sent;
        kinds[k].answered += o.kinds[k].answered;
        kinds[k].lost += o.kinds[k].lost;
        kinds[k].latency.merge(o.kinds[k].latency);
    }
    latency.merge(o.latency);
    ledger.insert(ledger.end(), o.ledger.begin(), o.ledger.end());
    if (error.empty())
        error = o.error;
}

double SimulatorReport::rate() const {
    return seconds > 0 ? static_cast<double>(answered) / seconds : 0.0;
}

std::string SimulatorReport::summaryText() const {
    std::ostringstream out;
    out << "sent " << sent << ", answered " << answered << ", resent " << resent << ", lost " << lost << ", malformed "
        << malformed << " in " << fixed(seconds, 2) << " s: " << fixed(rate(), 0) << " answered/s\n";
    out << "latency us: p50 " << latency.percentile(0.50) << ", p90 " << latency.percentile(0.90) << ", p99 "
        << latency.percentile(0.99) << ", max " << latency.max() << "\n";
    for (std::size_t k = 0; k < kRequestKinds; ++k) {
        const KindReport& r = kinds[k];
        if (r.sent == 0)
            continue;
        out << "  " << kKindNames[k] << ": sent " << r.sent << ", answered " << r.answered << ", lost " << r.lost
            << "; p50 " << r.latency.percentile(0.50) << ", p90 " << r.latency.percentile(0.90) << ", p99 "
            << r.latency.percentile(0.99) << ", max " << r.latency.max() << " us\n";
    }
    out << "cards usable " << usable << "; paid " << paid << " (" << paidFen << " fen), refused " << refused
        << "; offline acknowledged " << offlineAcknowledged << " (" << offlineFen << " fen)\n";
    out << "duplicates " << duplicates << ", unexpected " << unexpected << ", dropped " << dropped << ", garbage "
        << garbage << ", send failures " << sendFailures << "; keep-alives " << heartbeatsSent << " sent, "
        << heartbeatsAnswered << " answered, " << heartbeatsLost << " lost; administration frames " << adminFrames
        << "\n";
    if (!error.empty())
        out << "error: " << error << "\n";
    return out.str();
}

std::string SimulatorReport::json() const {
    std::ostringstream out;
    auto field = [&out](const char* name, auto value) { out << "\"" << name << "\": " << value << ", "; };
    out << "{";
    field("sent", sent);
    field("answered", answered);
    field("resent", resent);
    field("lost", lost);
    field("malformed", malformed);
    field("rate", fixed(rate(), 1));
    field("seconds", fixed(seconds, 3));
    field("p50_us", latency.percentile(0.50));
    field("p90_us", latency.percentile(0.90));
    field("p99_us", latency.percentile(0.99));
    field("max_us", latency.max());
    field("duplicates", duplicates);
    field("unexpected", unexpected);
    field("dropped", dropped);
    field("garbage", garbage);
    field("send_failures", sendFailures);
    field("heartbeats_sent", heartbeatsSent);
    field("heartbeats_answered", heartbeatsAnswered);
    field("heartbeats_lost", heartbeatsLost);
    field("admin_frames", adminFrames);
    field("usable", usable);
    field("paid", paid);
    field("paid_fen", paidFen);
    field("dropped_paid", droppedPaid);
    field("dropped_paid_fen", droppedPaidFen);
    field("refused", refused);
    field("offline_acknowledged", offlineAcknowledged);
    field("offline_fen", offlineFen);
    out << "\"kinds\": {";
    for (std::size_t k = 0; k < kRequestKinds; ++k) {
        const KindReport& r = kinds[k];
        out << (k > 0 ? ", " : "") << "\"" << kKindNames[k] << "\": {\"sent\": " << r.sent
            << ", \"answered\": " << r.answered << ", \"lost\": " << r.lost
            << ", \"p50_us\": " << r.latency.percentile(0.50) << ", \"p90_us\": " << r.latency.percentile(0.90)
            << ", \"p99_us\": " << r.latency.percentile(0.99) << ", \"max_us\": " << r.latency.max() << "}";
    }
    out << "}";
    if (!error.empty()) {
        std::string escaped;
        for (char c : error) {
            if (c == '"' || c == '\\')
                escaped.push_back('\\');
            if (static_cast<unsigned char>(c) >= 0x20)
                escaped.push_back(c);
        }
        out << ", \"error\": \"" << escaped << "\"";
    }
    out << "}";
    return out.str();
}

std::string SimulatorReport::ledgerCsv() const {
    std::ostringstream out;
    for (const LedgerEntry& e : ledger) {
        out << (e.kind == RequestKind::OfflineUpload ? "offline" : "online") << "," << e.card << "," << e.machine << ","
            << e.amountFen;
        out << "," << e.recordTime << "\n";
    }
    return out.str();
}

} // namespace vorlanx::tools
