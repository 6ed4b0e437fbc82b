#include "link/FrameDispatcher.h"
#include "link/HexText.h"
#include "link/LogText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace vorlanx::link;

class RemovalSink : public DispatchSink {
public:
    void clientEntry(const std::string&) override {}
    void terminalAdded(const std::string&, const std::string&, const std::string&, const std::string&) override {}
    void terminalRemoved(const std::string& address, const std::string& statusText) override {
        removed.push_back(address);
        statusTexts += statusText;
    }
    void resultAppended(const std::string&, std::optional<std::size_t>) override {}

    std::vector<std::string> removed;
    std::string statusTexts;
};

std::string senderAddress(unsigned n) {
    return "127." + std::to_string(n / 65536 % 256) + "." + std::to_string(n / 256 % 256) + "." +
           std::to_string(n % 256);
}

// More senders than a canteen of 10,000 terminals has, each with one "81" setting reply, while
// one terminal keeps talking: every table stops at its bound and lets go of the senders silent
// longest, never of the one heard all along. A service that kept them all grew without end.
TEST(BoundedMemory, TablesStopAtTheirBoundAndForgetTheLongestSilent) {
    constexpr unsigned kSenders = 20000;
    constexpr std::size_t kBound = 16384;
    constexpr std::size_t kResultLines = 10000;
    RemovalSink sink;
    TerminalTable terminals;
    ResultBox results;
    UdpEndpoint endpoint; // never opened: the replies to keep-alives go nowhere
    FrameDispatcher dispatcher(endpoint, terminals, results, sink);

    const auto settingDone = hexToBytes("FE0100010001810000");
    const std::string keeper = "127.255.255.254";
    std::size_t frames = 0;
    for (unsigned i = 1; i <= kSenders; ++i) {
        dispatcher.dispatchDatagram(senderAddress(i), 3000, settingDone);
        ++frames;
        if (i % 1000 == 1) {
            dispatcher.dispatchDatagram(keeper, 3000, settingDone);
            ++frames;
        }
    }

    EXPECT_EQ(terminals.rowCount(), kBound);
    EXPECT_EQ(terminals.terminals().size(), kBound);
    EXPECT_TRUE(terminals.terminal(keeper));
    EXPECT_TRUE(terminals.terminal(senderAddress(kSenders)));
    EXPECT_FALSE(terminals.terminal(senderAddress(1)));
    // The oldest still kept is the first sender after those that made room.
    const std::size_t forgotten = kSenders + 1 - kBound;
    EXPECT_FALSE(terminals.terminal(senderAddress(static_cast<unsigned>(forgotten))));
    EXPECT_TRUE(terminals.terminal(senderAddress(static_cast<unsigned>(forgotten + 2))));

    // The window's list loses the same rows, oldest first, without a word in the status panel.
    ASSERT_EQ(sink.removed.size(), forgotten);
    EXPECT_EQ(sink.removed.front(), senderAddress(1));
    EXPECT_EQ(sink.statusTexts, "");
    const auto rows = terminals.rows();
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [&](const TerminalRow& r) { return r.address == keeper; }), 1);
    EXPECT_EQ(terminals.totals().datagrams, frames);

    // The box keeps its last lines; the success count still counts every reply since the clear.
    EXPECT_EQ(results.successCount(), frames);
    const std::string kept = results.text();
    EXPECT_EQ(countLinePieces(kept), kResultLines);
    EXPECT_TRUE(kept.ends_with(senderAddress(kSenders) + ":3000|设置成功\r\n"));
    results.clear();
    EXPECT_EQ(results.successCount(), 0u);
    EXPECT_EQ(results.append("x\r\n"), 1u);
}

} // namespace
