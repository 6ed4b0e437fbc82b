// The white-list download: blocks of 50 rows, the frames of every shape, the captions and
// messages the operator sees, and the pacing terminals rely on.

#include "admin/WhitelistDownload.h"

#include "link/FrameBuilders.h"
#include "link/HexText.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using namespace vorlanx;
using admin::Destination;
using admin::DownloadMode;
using Clock = std::chrono::steady_clock;

// Keeps every datagram the runner sends, with the moment it was handed over.
class RecordingSender : public link::DatagramSender {
public:
    struct Sent {
        std::string address;
        std::uint16_t port;
        std::string frame;
        Clock::time_point at;
    };

    int sendDatagram(const std::string& address, std::uint16_t port, std::span<const std::uint8_t> bytes) override {
        std::lock_guard lock(m_mutex);
        m_sent.push_back({address, port, link::bytesToHex(bytes), Clock::now()});
        return static_cast<int>(bytes.size());
    }
    std::vector<Sent> sent() {
        std::lock_guard lock(m_mutex);
        return m_sent;
    }

private:
    std::mutex m_mutex;
    std::vector<Sent> m_sent;
};

// What the window would show, in order.
class RecordingView : public admin::DownloadView {
public:
    void downloadCaption(const std::string& caption) override { add("caption " + caption); }
    void downloadResultsCleared() override { add("cleared"); }
    void downloadTarget(const Destination& t) override { add("target " + t.address + " " + t.machine); }
    void downloadResultLine(const std::string& line) override { add("line " + line); }
    void downloadOperation(const std::string& text) override { add("operation " + text); }

    std::vector<std::string> events() {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    std::vector<std::string> matching(const std::string& prefix) {
        std::vector<std::string> out;
        for (const auto& e : events())
            if (e.rfind(prefix, 0) == 0)
                out.push_back(e);
        return out;
    }

private:
    void add(std::string e) {
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(e));
    }
    std::mutex m_mutex;
    std::vector<std::string> m_events;
};

std::vector<std::string> cardsFrom(std::uint32_t first, std::size_t count) {
    std::vector<std::string> cards;
    for (std::size_t i = 0; i < count; ++i)
        cards.push_back(std::to_string(first + i));
    return cards;
}

struct Download {
    RecordingSender sender;
    RecordingView view;
    admin::CommandRunner runner{sender};

    bool run(DownloadMode mode, std::vector<Destination> targets, std::vector<std::string> cards) {
        return runner.startJob(
            [this, mode, targets, cards](admin::CommandRunner::Context& context) {
                admin::runWhitelistDownload(context, mode, targets, [cards] { return cards; }, view);
            },
            {});
    }
};

TEST(WhitelistBlocks, WorkedFrames) {
    EXPECT_EQ(admin::whitelistFrameCount(0), 0u);
    EXPECT_EQ(admin::whitelistFrameCount(49), 1u);
    EXPECT_EQ(admin::whitelistFrameCount(50), 2u);
    EXPECT_EQ(admin::whitelistFrameCount(51), 2u);

    const auto one = admin::whitelistBlock({"12345678"}, 0);
    EXPECT_EQ(link::whitelistBlockFrame("1", one.entries), "FE0100010006310100BC614E4A36");

    const auto fifty = cardsFrom(12345678, 50);
    EXPECT_EQ(admin::whitelistBlock(fifty, 0).entries.size(), 50u * 8);
    const auto second = admin::whitelistBlock(fifty, 1);
    EXPECT_EQ(link::whitelistBlockFrame("1", second.entries), "FE01000100023100898B");
    const auto fiftyOne = cardsFrom(12345678, 51);
    EXPECT_EQ(admin::whitelistBlock(fiftyOne, 1).entries, link::whitelistEntry("12345728"));
    EXPECT_EQ(link::whitelistBlockFrame("12", one.entries).substr(4, 4), "000C");
}

TEST(WhitelistBlocks, EmptyZeroAndBadCardsUseUpTheirRows) {
    auto cards = cardsFrom(1000, 60);
    cards[3] = "";
    cards[4] = "0";
    cards[5] = "12ab";
    cards[6] = "4294967296";
    cards[7] = "4294967295";
    const auto first = admin::whitelistBlock(cards, 0);
    EXPECT_EQ(first.entries.size(), 46u * 8) << "four rows dropped, none taken from the next block";
    EXPECT_EQ(first.entries.substr(3 * 8, 8), "FFFFFFFF");
    EXPECT_EQ(first.badCards, (std::vector<std::string>{"12ab", "4294967296"}));
    EXPECT_EQ(admin::whitelistBlock(cards, 1).entries.substr(0, 8), link::whitelistEntry("1050"));
}

TEST(WhitelistDownload, SingleTerminalCaptionsAndFrames) {
    Download d;
    ASSERT_TRUE(d.run(DownloadMode::Single, {{"127.0.0.1", 4000, "1"}}, cardsFrom(12345678, 120)));
    ASSERT_TRUE(d.runner.waitIdle(10s));
    const auto sent = d.sender.sent();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(d.view.events().front(), "caption 下传白名单");
    EXPECT_EQ(d.view.matching("caption "),
              (std::vector<std::string>{"caption 下传白名单", "caption 下传白名单3-1", "caption 下传白名单3-2",
                                        "caption 下传白名单3-3"}));
    EXPECT_TRUE(d.view.matching("operation").empty()) << "a single download shows no completion";
    for (std::size_t i = 1; i < sent.size(); ++i)
        EXPECT_GE(sent[i].at - sent[i - 1].at, 230ms);
}

TEST(WhitelistDownload, RunServesTheListInOrderAndSaysSo) {
    Download d;
    const std::vector<Destination> terminals{{"127.0.0.2", 4001, "1"}, {"127.0.0.3", 4002, "2"}};
    ASSERT_TRUE(d.run(DownloadMode::Run, terminals, cardsFrom(12345678, 120)));
    ASSERT_TRUE(d.runner.waitIdle(10s));
    const auto sent = d.sender.sent();
    ASSERT_EQ(sent.size(), 6u);
    EXPECT_EQ(sent[0].address, "127.0.0.2");
    EXPECT_EQ(sent[3].address, "127.0.0.3");
    EXPECT_EQ(sent[3].frame.substr(4, 4), "0002");
    const auto captions = d.view.matching("caption ");
    EXPECT_EQ(captions[1], "caption 127.0.0.2:下传白名单3-2");
    EXPECT_EQ(captions.back(), "caption 下传白名单");
    EXPECT_EQ(d.view.matching("operation "),
              (std::vector<std::string>{"operation 127.0.0.2：白名单已下载完成", "operation 127.0.0.3：白名单已下载完成",
                                        "operation 设备已下载完成"}));
    EXPECT_EQ(d.view.matching("target ").size(), 2u);
    EXPECT_EQ(d.view.matching("cleared").size(), 2u) << "the box is emptied for each terminal";

    // The next run sends again.
    ASSERT_TRUE(d.run(DownloadMode::Run, terminals, cardsFrom(12345678, 10)));
    ASSERT_TRUE(d.runner.waitIdle(10s));
    EXPECT_EQ(d.sender.sent().size(), 8u);
}

TEST(WhitelistDownload, NoRowsSendNothingButEveryTerminalIsDone) {
    Download d;
    ASSERT_TRUE(d.run(DownloadMode::Run, {{"127.0.0.2", 4001, "1"}, {"127.0.0.3", 4002, "2"}}, {}));
    ASSERT_TRUE(d.runner.waitIdle(5s));
    EXPECT_TRUE(d.sender.sent().empty());
    EXPECT_EQ(d.view.matching("operation ").size(), 3u);
}

TEST(WhitelistDownload, StopEndsTheFramesAndTheRestAreStillReported) {
    Download d;
    const std::vector<Destination> terminals{
        {"127.0.0.2", 4001, "1"}, {"127.0.0.3", 4002, "2"}, {"127.0.0.4", 4003, "3"}};
    ASSERT_TRUE(d.run(DownloadMode::Run, terminals, cardsFrom(12345678, 500)));
    while (d.sender.sent().empty())
        std::this_thread::sleep_for(5ms);
    d.runner.stop();
    ASSERT_TRUE(d.runner.waitIdle(5s));
    EXPECT_EQ(d.sender.sent().size(), 1u);
    EXPECT_EQ(d.view.matching("operation "),
              (std::vector<std::string>{"operation 127.0.0.2：白名单已下载完成", "operation 127.0.0.3：白名单已下载完成",
                                        "operation 127.0.0.4：白名单已下载完成", "operation 设备已下载完成"}));
}

TEST(WhitelistDownload, BadCardsAreNamedAfterTheTerminal) {
    Download d;
    auto cards = cardsFrom(12345678, 3);
    cards[1] = "card-7";
    ASSERT_TRUE(d.run(DownloadMode::Run, {{"127.0.0.2", 4001, "1"}}, cards));
    ASSERT_TRUE(d.runner.waitIdle(5s));
    const auto sent = d.sender.sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].frame.substr(14, 2), "02") << "two entries";
    EXPECT_EQ(d.view.matching("line "),
              (std::vector<std::string>{"line 127.0.0.2:4001|未下传的卡号(1)：card-7\r\n"}));
}

TEST(WhitelistDownload, ParallelSendsEachTerminalTheFramesOfARunNeverCloserThan330ms) {
    Download d;
    std::vector<Destination> terminals;
    for (int i = 0; i < 20; ++i)
        terminals.push_back({"127.0.0." + std::to_string(i + 2), 4000, std::to_string(i + 1)});
    const auto cards = cardsFrom(12345678, 120);
    ASSERT_TRUE(d.run(DownloadMode::Parallel, terminals, cards));
    ASSERT_TRUE(d.runner.waitIdle(10s));

    std::map<std::string, std::vector<RecordingSender::Sent>> byTerminal;
    for (const auto& s : d.sender.sent())
        byTerminal[s.address].push_back(s);
    ASSERT_EQ(byTerminal.size(), terminals.size());
    for (const auto& t : terminals) {
        const auto& got = byTerminal[t.address];
        ASSERT_EQ(got.size(), 3u) << t.address;
        for (std::size_t k = 0; k < got.size(); ++k) {
            EXPECT_EQ(got[k].frame, link::whitelistBlockFrame(t.machine, admin::whitelistBlock(cards, k).entries));
            if (k > 0) {
                EXPECT_GE(got[k].at - got[k - 1].at, 330ms) << t.address << " frame " << k;
            }
        }
    }
    EXPECT_EQ(d.view.matching("cleared").size(), 1u);
    EXPECT_EQ(d.view.matching("caption ")[1], "caption 下传白名单3-2");
    EXPECT_EQ(d.view.matching("operation "), (std::vector<std::string>{"operation 设备已下载完成"}));
}

} // namespace
