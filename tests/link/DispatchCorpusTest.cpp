// The dispatcher's outputs for a fixed corpus of datagrams, pinned by a digest: the client
// entries, list rows, acknowledgements, result lines, transaction arguments and the health table.
// Any change in how they are made must leave every one of them as it was.
#include "link/FrameChecksum.h"
#include "link/FrameDispatcher.h"
#include "link/HexText.h"
#include "tests/support/SampleTime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace vorlanx::link;

// Every output, one line each, in the order made.
struct Recorder final : DispatchSink, DatagramSender, TransactionJobs {
    explicit Recorder(bool shows) : showEntries(shows) {}

    bool showsClientEntries() const override { return showEntries; }
    void clientEntry(const std::string& entry) override { lines.push_back("entry " + entry); }
    void terminalAdded(const std::string& address, const std::string& portText, const std::string& machine,
                       const std::string& totalText) override {
        lines.push_back("added " + address + " " + portText + " " + machine + " " + totalText);
    }
    void terminalRemoved(const std::string& address, const std::string& statusText) override {
        lines.push_back("removed " + address + " " + statusText);
    }
    void resultAppended(const std::string& text, std::optional<std::size_t> count) override {
        lines.push_back("result " + text + (count ? " " + std::to_string(*count) : "-"));
    }
    int sendDatagram(const std::string& address, std::uint16_t port, std::span<const std::uint8_t> bytes) override {
        lines.push_back("sent " + address + ":" + std::to_string(port) + " " + bytesToHex(bytes));
        return static_cast<int>(bytes.size());
    }
    void startCardQuery(CardQueryArgs a) override {
        lines.push_back("query " + std::to_string(a.port) + " " + a.card + " " + a.machine + " " + a.address);
    }
    void startOnlineConsumption(OnlineConsumptionArgs a) override {
        lines.push_back("pay " + std::to_string(a.port) + " " + a.card + " " + a.machine + " " + a.address + " " +
                        a.amount);
    }
    void startOfflineUpload(OfflineUploadArgs a) override {
        lines.push_back("offline " + a.port + " " + a.card + " " + a.machine + " " + a.address + " " + a.amount + " " +
                        a.recordTime);
    }

    bool showEntries;
    std::vector<std::string> lines;
};

std::uint64_t fnv1a(const std::vector<std::string>& lines) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const std::string& line : lines) {
        for (unsigned char c : line + "\n") {
            hash ^= c;
            hash *= 1099511628211ULL;
        }
    }
    return hash;
}

struct Datagram {
    std::string address;
    std::uint16_t port;
    std::vector<std::uint8_t> bytes;
};

// A terminal frame: header, machine, length, command and parameters, checksum low byte first.
std::vector<std::uint8_t> frameOf(std::uint16_t machine, std::vector<std::uint8_t> body, bool goodChecksum = true) {
    std::vector<std::uint8_t> out{0xFE,
                                  0x01,
                                  static_cast<std::uint8_t>(machine >> 8),
                                  static_cast<std::uint8_t>(machine & 0xFF),
                                  static_cast<std::uint8_t>(body.size() >> 8),
                                  static_cast<std::uint8_t>(body.size() & 0xFF)};
    out.insert(out.end(), body.begin(), body.end());
    std::uint16_t crc = crc16Modbus(std::span(out).subspan(2));
    if (!goodChecksum)
        crc ^= 0x0101;
    out.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    out.push_back(static_cast<std::uint8_t>(crc >> 8));
    return out;
}

// Outputs of the dispatcher for `corpus`, the health table appended at the end.
std::vector<std::string> dispatchAll(const std::vector<Datagram>& corpus, bool showEntries, bool filtered) {
    Recorder recorder(showEntries);
    TerminalTable terminals(24, 32); // small, so that rows and terminals also make room for others
    ResultBox results;
    FrameDispatcher dispatcher(recorder, terminals, results, recorder, &recorder,
                               [] { return vorlanx::test::may8th2020(10, 5, 3); });
    if (filtered)
        dispatcher.setAddressFilter(
            std::make_shared<AddressFilter>(std::get<AddressFilter>(AddressFilter::parse("10.0.0.0/26, 10.0.1.7"))));
    for (const Datagram& d : corpus)
        dispatcher.dispatchDatagram(d.address, d.port, d.bytes);
    std::vector<std::string> lines = std::move(recorder.lines);
    for (const TerminalTable::Terminal& t : terminals.terminals())
        lines.push_back("health " + t.address + " " + std::to_string(t.port) + " " + t.machine + " " +
                        std::to_string(t.frames) + " " + std::to_string(t.queries) + " " + std::to_string(t.payments) +
                        " " + std::to_string(t.offlineRecords) + " " + std::to_string(t.checkedFrames) + " " +
                        t.lastAnswer);
    const TerminalTable::Totals totals = terminals.totals();
    lines.push_back("totals " + std::to_string(totals.datagrams) + " " + std::to_string(totals.queries) + " " +
                    std::to_string(totals.payments) + " " + std::to_string(totals.offlineRecords) + " " +
                    std::to_string(totals.answers) + " " + std::to_string(totals.refused));
    for (const TerminalRow& row : terminals.rows())
        lines.push_back("row " + row.address + " " + row.port + " " + row.machine);
    lines.push_back("box " + results.text());
    return lines;
}

std::vector<std::string> withoutEntries(std::vector<std::string> lines) {
    std::erase_if(lines, [](const std::string& line) { return line.starts_with("entry "); });
    return lines;
}

// Frames of every kind the terminals send, with random fields; random bytes; frames cut short;
// terminals that change their machine number; addresses inside and outside the filter.
std::vector<Datagram> randomCorpus() {
    std::mt19937 random(20261209);
    const auto pick = [&](std::uint32_t n) { return static_cast<std::uint32_t>(random() % n); };
    const auto byte = [&] { return static_cast<std::uint8_t>(random() & 0xFF); };
    std::vector<std::uint16_t> machineOf(48);
    for (auto& m : machineOf)
        m = static_cast<std::uint16_t>(pick(4) == 0 ? byte() : 1 + pick(300));
    std::vector<Datagram> corpus;
    for (int i = 0; i < 4000; ++i) {
        const std::uint32_t who = pick(48);
        if (pick(40) == 0)
            machineOf[who] = static_cast<std::uint16_t>(1 + pick(300));
        Datagram d{"10.0." + std::to_string(who / 40) + "." + std::to_string(who * 3 % 256),
                   static_cast<std::uint16_t>(1024 + pick(60000)),
                   {}};
        const std::uint16_t machine = machineOf[who];
        const std::vector<std::uint8_t> card{byte(), byte(), byte(), byte()};
        std::vector<std::uint8_t> body;
        switch (pick(11)) {
        case 0: // card query
            body = {0x63, card[0], card[1], card[2], card[3], 0x06};
            break;
        case 1: // online payment
            body = {0x63, card[0], card[1], card[2], card[3], 0x00, 0, 0, byte(), byte()};
            break;
        case 2: // offline record
            body = {0x76, card[0], card[1], card[2], card[3], 0x00, 0x26,   0x12,
                    0x09, 0x11,    byte(),  byte(),  0,       0,    byte(), byte()};
            break;
        case 3: // keep-alive
            body = {0x74, 0x00, byte(), byte(), byte()};
            break;
        case 4: // setting done
            body = {0x81};
            break;
        case 5: // white-list count
            body = {0x51, 0, pick(2) ? byte() : std::uint8_t{0}, byte(), byte()};
            break;
        case 6: // clock
            body = {0x11, 0x20, 0x26, 0x12, 0x09, 0x11, 0x30, 0x05, 0x03};
            break;
        case 7: // command a terminal never sends
            body = {byte(), byte(), byte()};
            break;
        default:
            break;
        }
        if (body.empty()) {
            d.bytes.resize(pick(3) == 0 ? pick(4) : pick(40));
            for (auto& b : d.bytes)
                b = byte();
        } else {
            d.bytes = frameOf(machine, body, pick(8) != 0);
            if (pick(6) == 0)
                d.bytes.resize(pick(static_cast<std::uint32_t>(d.bytes.size())));
        }
        corpus.push_back(std::move(d));
    }
    return corpus;
}

// The frames of the worked examples and one of each kind, each split at every length: the head
// and the tail arrive as datagrams of their own, from one terminal.
std::vector<Datagram> splitCorpus() {
    const std::vector<std::string> frames = {
        "FE01004E000111F2B4",
        "FE01004E00057400112233440000",
        "FE01000100000000",
        "FE01004E0006630BC614E0064C7B",
        "FE01004E000A630BC614E0000000012C1234",
        "FE01004E0010760BC614E000261209113005000000C81234",
        "FE01004E00055100000BB81234",
        "FE01004E0009112026120911300503ABCD",
        "FE01004E000181E40C",
    };
    std::vector<Datagram> corpus;
    std::uint16_t port = 40000;
    for (const std::string& hex : frames) {
        const std::vector<std::uint8_t> bytes = hexToBytes(hex);
        for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
            ++port;
            corpus.push_back({"192.168.1.1", port, {bytes.begin(), bytes.begin() + static_cast<long>(cut)}});
            corpus.push_back({"192.168.1.10", port, {bytes.begin() + static_cast<long>(cut), bytes.end()}});
        }
    }
    return corpus;
}

TEST(DispatchCorpus, EveryOutputIsAsPinnedWhetherOrNotTheEntriesAreShown) {
    struct Case {
        const char* name;
        std::vector<Datagram> corpus;
        bool filtered;
        std::uint64_t all;
        std::uint64_t withoutEntries;
    };
    const Case cases[] = {
        {"random frames", randomCorpus(), false, 0x51567c54e4140da9ULL, 0x989abfe3376aacd9ULL},
        {"random frames, filtered", randomCorpus(), true, 0xb147922b2e30035aULL, 0xc7325107bfcc5512ULL},
        {"frames split at every length", splitCorpus(), false, 0xae553512e1277830ULL, 0xcc417606bc9db9e8ULL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::string> shown = dispatchAll(c.corpus, true, c.filtered);
        EXPECT_EQ(fnv1a(shown), c.all) << std::hex << fnv1a(shown);
        EXPECT_EQ(fnv1a(withoutEntries(shown)), c.withoutEntries) << std::hex << fnv1a(withoutEntries(shown));
        // The corpus reaches every kind of output.
        for (const char* kind : {"entry ", "added ", "removed ", "result ", "sent ", "query ", "pay ", "offline "})
            EXPECT_TRUE(std::ranges::any_of(shown, [&](const std::string& line) { return line.starts_with(kind); }))
                << kind;
        // With no reader of the entries, everything else is made exactly as before.
        EXPECT_EQ(fnv1a(dispatchAll(c.corpus, false, c.filtered)), fnv1a(withoutEntries(shown)));
    }
}

} // namespace
