// One datagram, whatever its bytes, through the dispatcher of the listener endpoint: the list of
// terminals, the log entry, the acknowledgement and the transaction jobs it starts. Any crash,
// leak or undefined behaviour is a finding; so is a job started for a frame that is no card
// transaction, or an acknowledgement for a frame that is not a keep-alive.

#include "link/DatagramSender.h"
#include "link/DispatchSink.h"
#include "link/FrameDispatcher.h"
#include "link/HexText.h"
#include "link/TerminalTable.h"
#include "link/ResultBox.h"
#include "link/TransactionJobs.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

namespace {

using namespace vorlanx::link;

struct CountingSender final : DatagramSender {
    int sent = 0;
    int sendDatagram(const std::string&, std::uint16_t, std::span<const std::uint8_t> bytes) override {
        ++sent;
        return static_cast<int>(bytes.size());
    }
};

struct QuietSink final : DispatchSink {
    void clientEntry(const std::string&) override {}
    void terminalAdded(const std::string&, const std::string&, const std::string&, const std::string&) override {}
    void terminalRemoved(const std::string&, const std::string&) override {}
    void resultAppended(const std::string&, std::optional<std::size_t>) override {}
};

struct CountingJobs final : TransactionJobs {
    int started = 0;
    void startCardQuery(CardQueryArgs) override { ++started; }
    void startOnlineConsumption(OnlineConsumptionArgs) override { ++started; }
    void startOfflineUpload(OfflineUploadArgs) override { ++started; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CountingSender sender;
    TerminalTable terminals;
    ResultBox results;
    QuietSink sink;
    CountingJobs jobs;
    FrameDispatcher dispatcher(sender, terminals, results, sink, &jobs);
    const std::span<const std::uint8_t> datagram(data, size);
    // The same datagram twice from one address, then from another: the list rules run too.
    dispatcher.dispatchDatagram("127.0.0.2", 3000, datagram);
    dispatcher.dispatchDatagram("127.0.0.2", 3001, datagram);
    dispatcher.dispatchDatagram("127.0.0.3", 3000, datagram);

    const bool transaction = size >= 12 && ((data[6] == 0x63 && (data[11] == 0x06 || data[11] == 0x00)) ||
                                            (data[6] == 0x76 && data[11] == 0x00));
    const bool keepAlive = size >= 8 && data[4] == 0x00 && data[5] == 0x05 && data[6] == 0x74 && data[7] == 0x00;
    if ((jobs.started > 0) != transaction || (sender.sent > 0) != keepAlive)
        std::abort();
    return 0;
}
