#include "link/UdpEndpoint.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

using namespace std::chrono_literals;

#ifdef __linux__
constexpr bool kBatchCallExists = true;
#else
constexpr bool kBatchCallExists = false;
#endif

struct Received {
    std::string address;
    std::uint16_t port = 0;
    std::vector<std::uint8_t> data;
};

// Collects what a receive worker delivers and lets the test wait for it with a deadline.
class Inbox {
public:
    vorlanx::link::UdpEndpoint::Handler handler() {
        return [this](const std::string& address, std::uint16_t port, std::span<const std::uint8_t> data) {
            std::lock_guard lock(m_mutex);
            m_items.push_back({address, port, {data.begin(), data.end()}});
            m_cv.notify_all();
        };
    }
    bool waitFor(std::size_t count, std::chrono::milliseconds limit = 5s) {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, limit, [&] { return m_items.size() >= count; });
    }
    std::vector<Received> items() {
        std::lock_guard lock(m_mutex);
        return m_items;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<Received> m_items;
};

// A listener bound to a free loopback port, and a sender that plays the terminal.
struct Loopback : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(listener.open(inbox.handler()));
        ASSERT_TRUE(listener.bindPort("127.0.0.1", 0));
        port = listener.localPort();
        ASSERT_NE(port, 0);
        ASSERT_TRUE(terminal.open(terminalInbox.handler()));
        ASSERT_TRUE(terminal.bindPort("127.0.0.1", 0));
    }
    int send(std::vector<std::uint8_t> bytes) { return terminal.sendDatagram("127.0.0.1", port, bytes); }

    Inbox inbox, terminalInbox;
    vorlanx::link::UdpEndpoint listener, terminal;
    std::uint16_t port = 0;
};

TEST_F(Loopback, DatagramArrivesWithItsSourceAddressAndPort) {
    ASSERT_EQ(send({0xFE, 0x01, 0x00, 0x01}), 4);
    ASSERT_TRUE(inbox.waitFor(1));
    const auto got = inbox.items().at(0);
    EXPECT_EQ(got.address, "127.0.0.1");
    EXPECT_EQ(got.port, terminal.localPort());
    EXPECT_EQ(got.data, (std::vector<std::uint8_t>{0xFE, 0x01, 0x00, 0x01}));
}

TEST_F(Loopback, EmptyAndFullSizeDatagramsArriveWholeAndOversizeIsDropped) {
    std::vector<std::uint8_t> full(vorlanx::link::UdpEndpoint::kMaxDatagram);
    for (std::size_t i = 0; i < full.size(); ++i)
        full[i] = static_cast<std::uint8_t>(i * 7);
    std::vector<std::uint8_t> oversize(vorlanx::link::UdpEndpoint::kMaxDatagram + 1, 0xAB);

    ASSERT_EQ(send({}), 0);
    ASSERT_EQ(send(full), static_cast<int>(full.size()));
    ASSERT_EQ(send(oversize), static_cast<int>(oversize.size()));
    ASSERT_EQ(send({0x42}), 1); // marker: everything before it has been handled once it arrives

    ASSERT_TRUE(inbox.waitFor(3));
    std::this_thread::sleep_for(50ms);
    const auto items = inbox.items();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_TRUE(items[0].data.empty());
    EXPECT_EQ(items[1].data, full);
    EXPECT_EQ(items[2].data, (std::vector<std::uint8_t>{0x42}));
}

TEST_F(Loopback, RepliesFromTheHandlerLeaveThroughTheListeningPort) {
    vorlanx::link::UdpEndpoint echo;
    Inbox echoed;
    ASSERT_TRUE(echo.open([&](const std::string& address, std::uint16_t from, std::span<const std::uint8_t> data) {
        echo.sendDatagram(address, from, data);
    }));
    ASSERT_TRUE(echo.bindPort("127.0.0.1", 0));
    const std::vector<std::uint8_t> frame{1, 2, 3};
    ASSERT_EQ(terminal.sendDatagram("127.0.0.1", echo.localPort(), frame), 3);
    ASSERT_TRUE(terminalInbox.waitFor(1));
    const auto reply = terminalInbox.items().at(0);
    EXPECT_EQ(reply.port, echo.localPort());
    EXPECT_EQ(reply.data, frame);
    EXPECT_TRUE(echo.close());
}

TEST_F(Loopback, ManySendersAtOnceEachSendWholeDatagrams) {
    constexpr int kThreads = 4, kEach = 50;
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t)
        senders.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i)
                send(std::vector<std::uint8_t>(100, static_cast<std::uint8_t>(t)));
        });
    for (auto& s : senders)
        s.join();
    ASSERT_TRUE(inbox.waitFor(kThreads * kEach));
    for (const auto& item : inbox.items()) {
        ASSERT_EQ(item.data.size(), 100u);
        EXPECT_EQ(item.data.front(), item.data.back());
    }
}

TEST(UdpEndpoint, StartStopStartOnTheSamePortOpensANewSocket) {
    Inbox first, second;
    vorlanx::link::UdpEndpoint listener;
    ASSERT_TRUE(listener.open(first.handler()));
    ASSERT_TRUE(listener.bindPort("", 0));
    const auto port = listener.localPort();
    EXPECT_TRUE(listener.close());
    EXPECT_FALSE(listener.isOpen());
    EXPECT_FALSE(listener.close()); // a second stop finds nothing to close

    ASSERT_TRUE(listener.open(second.handler()));
    ASSERT_TRUE(listener.bindPort("", port)) << "the port must be free again after close";
    vorlanx::link::UdpEndpoint terminal;
    ASSERT_TRUE(terminal.open({}));
    terminal.sendDatagram("127.0.0.1", port, std::vector<std::uint8_t>{9});
    ASSERT_TRUE(second.waitFor(1));
    EXPECT_TRUE(first.items().empty());
}

TEST(UdpEndpoint, BindFailsWhenAnotherSocketHoldsThePort) {
    vorlanx::link::UdpEndpoint holder, second;
    ASSERT_TRUE(holder.open({}));
    ASSERT_TRUE(holder.bindPort("", 0));
    ASSERT_TRUE(second.open({}));
    EXPECT_FALSE(second.bindPort("", holder.localPort()));
    EXPECT_TRUE(second.close());
}

TEST(UdpEndpoint, NothingIsDeliveredAfterClose) {
    Inbox inbox;
    vorlanx::link::UdpEndpoint listener, terminal;
    ASSERT_TRUE(listener.open(inbox.handler()));
    ASSERT_TRUE(listener.bindPort("127.0.0.1", 0));
    const auto port = listener.localPort();
    ASSERT_TRUE(terminal.open({}));
    terminal.sendDatagram("127.0.0.1", port, std::vector<std::uint8_t>{1});
    ASSERT_TRUE(inbox.waitFor(1));
    listener.close();
    terminal.sendDatagram("127.0.0.1", port, std::vector<std::uint8_t>{2});
    EXPECT_FALSE(inbox.waitFor(2, 300ms));
    EXPECT_EQ(listener.sendDatagram("127.0.0.1", port, std::vector<std::uint8_t>{3}), -1);
}

TEST(UdpEndpoint, UnopenedEndpointRefusesBindAndSend) {
    vorlanx::link::UdpEndpoint endpoint;
    EXPECT_FALSE(endpoint.bindPort("", 0));
    EXPECT_EQ(endpoint.sendDatagram("127.0.0.1", 9, std::vector<std::uint8_t>{1}), -1);
    EXPECT_FALSE(endpoint.close());
    EXPECT_EQ(endpoint.localPort(), 0);
}

TEST(UdpEndpoint, BadAddressTextIsRefused) {
    vorlanx::link::UdpEndpoint endpoint;
    ASSERT_TRUE(endpoint.open({}));
    EXPECT_FALSE(endpoint.bindPort("not an address", 0));
    EXPECT_EQ(endpoint.sendDatagram("300.1.1.1", 9, std::vector<std::uint8_t>{1}), -1);
}

// A burst queued while the worker is busy: the batch receive takes it several datagrams per call,
// the plain one datagram by datagram, and both deliver every datagram that fits, whole, in order,
// with its sender, and drop the ones too long (each checked on its own within a batch).
TEST(UdpEndpoint, BatchAndPlainReceiveDeliverABurstAlike) {
    std::vector<vorlanx::link::UdpEndpoint> senders(3);
    for (auto& sender : senders) {
        ASSERT_TRUE(sender.open({}));
        ASSERT_TRUE(sender.bindPort("127.0.0.1", 0));
    }
    std::vector<std::vector<std::uint8_t>> corpus;
    for (std::size_t i = 0; i < 120; ++i) {
        const std::size_t size = i == 7    ? vorlanx::link::UdpEndpoint::kMaxDatagram
                                 : i == 8  ? vorlanx::link::UdpEndpoint::kMaxDatagram + 1
                                 : i == 61 ? 9000
                                           : (i * 37) % 90;
        std::vector<std::uint8_t> bytes(size);
        for (std::size_t b = 0; b < size; ++b)
            bytes[b] = static_cast<std::uint8_t>(i * 7 + b);
        corpus.push_back(std::move(bytes));
    }

    const auto receiveBurst = [&](bool batches) {
        std::mutex mutex;
        std::condition_variable changed;
        bool released = false;
        std::vector<Received> got;
        vorlanx::link::UdpEndpoint listener;
        listener.setBatchReceive(batches);
        EXPECT_TRUE(
            listener.open([&](const std::string& address, std::uint16_t from, std::span<const std::uint8_t> data) {
                std::unique_lock lock(mutex);
                got.push_back({address, from, {data.begin(), data.end()}});
                changed.notify_all();
                // The first datagram holds the worker until the whole burst is queued.
                changed.wait(lock, [&] { return released; });
            }));
        EXPECT_TRUE(listener.bindPort("127.0.0.1", 0));
        senders[0].sendDatagram("127.0.0.1", listener.localPort(), std::vector<std::uint8_t>{0xEE});
        {
            std::unique_lock lock(mutex);
            EXPECT_TRUE(changed.wait_for(lock, 10s, [&] { return !got.empty(); }));
        }
        for (std::size_t i = 0; i < corpus.size(); ++i)
            senders[i % senders.size()].sendDatagram("127.0.0.1", listener.localPort(), corpus[i]);
        std::unique_lock lock(mutex);
        released = true;
        changed.notify_all();
        EXPECT_TRUE(changed.wait_for(lock, 10s, [&] { return got.size() == corpus.size() - 1; }));
        lock.unlock();
        EXPECT_EQ(listener.receivesInBatches(), batches && kBatchCallExists);
        listener.close();
        return got;
    };

    std::vector<Received> expected;
    for (std::size_t i = 0; i < corpus.size(); ++i)
        if (corpus[i].size() <= vorlanx::link::UdpEndpoint::kMaxDatagram)
            expected.push_back({"127.0.0.1", senders[i % senders.size()].localPort(), corpus[i]});
    for (const bool batches : {true, false}) {
        SCOPED_TRACE(batches ? "batches" : "one by one");
        std::vector<Received> got = receiveBurst(batches);
        ASSERT_FALSE(got.empty());
        got.erase(got.begin()); // the datagram that held the worker
        ASSERT_EQ(got.size(), expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].address, expected[i].address) << i;
            EXPECT_EQ(got[i].port, expected[i].port) << i;
            EXPECT_EQ(got[i].data, expected[i].data) << i;
        }
    }
}

} // namespace
