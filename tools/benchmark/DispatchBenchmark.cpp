// The per-datagram path of the receive worker: bytes to hex text, the terminal list, the client
// entry and the rules, with sends and transactions replaced by no-ops.

#include "link/FrameChecksum.h"
#include "link/FrameDispatcher.h"
#include "link/HexText.h"

#include <benchmark/benchmark.h>

namespace {

using namespace vorlanx::link;

class NoSender : public DatagramSender {
public:
    int sendDatagram(const std::string&, std::uint16_t, std::span<const std::uint8_t> bytes) override {
        benchmark::DoNotOptimize(bytes.data());
        return static_cast<int>(bytes.size());
    }
};

class NoSink : public DispatchSink {
public:
    void clientEntry(const std::string& entry) override { benchmark::DoNotOptimize(entry.data()); }
    void terminalAdded(const std::string&, const std::string&, const std::string&, const std::string&) override {}
    void terminalRemoved(const std::string&, const std::string&) override {}
    void resultAppended(const std::string& text, std::optional<std::size_t>) override {
        benchmark::DoNotOptimize(text.data());
    }
};

class NoJobs : public TransactionJobs {
public:
    void startCardQuery(CardQueryArgs args) override { benchmark::DoNotOptimize(args.card.data()); }
    void startOnlineConsumption(OnlineConsumptionArgs args) override { benchmark::DoNotOptimize(args.card.data()); }
    void startOfflineUpload(OfflineUploadArgs args) override { benchmark::DoNotOptimize(args.card.data()); }
};

struct Service {
    NoSender sender;
    NoSink sink;
    NoJobs jobs;
    TerminalTable terminals;
    ResultBox results;
    FrameDispatcher dispatcher{sender, terminals, results, sink, &jobs};
};

// Offline record upload padded to 30 bytes, the size the budget is set for.
const std::vector<std::uint8_t> kOfflineRecord = hexToBytes("FE010001001676"
                                                            "00BC614E"
                                                            "00"
                                                            "200508100503"
                                                            "000004E2"
                                                            "000000000000"
                                                            "ABCD");
const std::vector<std::uint8_t> kAcknowledgeRequest = hexToBytes("FE01004E0005740011223344"
                                                                 "00000000000000000000000000000000"
                                                                 "ABCD");
const std::vector<std::uint8_t> kSettingReply = hexToBytes("FE010001000181E40C");

void dispatchOfflineRecord(benchmark::State& state) {
    Service service;
    for (auto _ : state)
        service.dispatcher.dispatchDatagram("192.168.1.20", 3001, kOfflineRecord);
    state.SetLabel(std::to_string(kOfflineRecord.size()) + " bytes");
}
BENCHMARK(dispatchOfflineRecord);

void dispatchAcknowledgeRequest(benchmark::State& state) {
    Service service;
    for (auto _ : state)
        service.dispatcher.dispatchDatagram("192.168.1.20", 3001, kAcknowledgeRequest);
    state.SetLabel(std::to_string(kAcknowledgeRequest.size()) + " bytes");
}
BENCHMARK(dispatchAcknowledgeRequest);

// The box is emptied as an administration command would, so the recount covers one line.
void dispatchSettingReply(benchmark::State& state) {
    Service service;
    for (auto _ : state) {
        service.results.clear();
        service.dispatcher.dispatchDatagram("192.168.1.20", 3001, kSettingReply);
    }
}
BENCHMARK(dispatchSettingReply);

void bytesToHex30(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(bytesToHex(kOfflineRecord));
}
BENCHMARK(bytesToHex30);

void checksumOfAFullWhitelistBlock(benchmark::State& state) {
    const std::string body = "000100CA3132" + std::string(400, 'A');
    for (auto _ : state)
        benchmark::DoNotOptimize(frameChecksum(body));
}
BENCHMARK(checksumOfAFullWhitelistBlock);

} // namespace

BENCHMARK_MAIN();
