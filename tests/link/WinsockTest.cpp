// The Winsock branch of UdpEndpoint, run under Wine or on Windows: the socket layer's start and
// release pairing, a loopback round trip through the listening port, start/stop/start, and the
// translation of Winsock errors for the debug log.

#include "link/UdpEndpoint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <winsock2.h>

namespace {

using namespace std::chrono_literals;
using vorlanx::link::UdpEndpoint;

struct Datagram {
    std::string address;
    std::uint16_t port = 0;
    std::vector<std::uint8_t> data;
};

class Inbox {
public:
    UdpEndpoint::Handler handler() {
        return [this](const std::string& address, std::uint16_t port, std::span<const std::uint8_t> data) {
            std::lock_guard lock(m_mutex);
            m_items.push_back({address, port, {data.begin(), data.end()}});
            m_cv.notify_all();
        };
    }
    std::optional<Datagram> next(std::chrono::milliseconds limit = 5s) {
        std::unique_lock lock(m_mutex);
        if (!m_cv.wait_for(lock, limit, [&] { return m_taken < m_items.size(); }))
            return std::nullopt;
        return m_items[m_taken++];
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<Datagram> m_items;
    std::size_t m_taken = 0;
};

// True while some WSAStartup of this process has no WSACleanup yet: without one, every socket call
// fails with WSANOTINITIALISED.
bool socketLayerStarted() {
    const SOCKET probe = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (probe == INVALID_SOCKET)
        return WSAGetLastError() != WSANOTINITIALISED;
    closesocket(probe);
    return true;
}

const std::vector<std::uint8_t> kFrame{0xFE, 0x01, 0x00, 0x4E, 0x00, 0x05, 0x74,
                                       0x00, 0x11, 0x22, 0x33, 0x44, 0x2A, 0x5B};

TEST(Winsock, EveryOpenIsReleasedByItsClose) {
    ASSERT_FALSE(socketLayerStarted());
    {
        UdpEndpoint first, second;
        ASSERT_TRUE(first.open({}));
        ASSERT_TRUE(second.open({}));
        EXPECT_TRUE(socketLayerStarted());
        EXPECT_TRUE(first.close());
        // The second endpoint's start still holds the layer: it keeps working.
        EXPECT_TRUE(socketLayerStarted());
        ASSERT_TRUE(second.bindPort("127.0.0.1", 0));
        EXPECT_NE(second.localPort(), 0);
        EXPECT_TRUE(second.close());
    }
    EXPECT_FALSE(socketLayerStarted());

    // Start, stop, start: each open takes the layer again and each close gives it back.
    UdpEndpoint again;
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(again.open({}));
        EXPECT_TRUE(again.close());
    }
    EXPECT_FALSE(again.close());
    EXPECT_FALSE(socketLayerStarted());
}

TEST(Winsock, RoundTripThroughTheListeningPortAndStartStopStart) {
    Inbox replies;
    UdpEndpoint listener, terminal;
    auto echo = [&](const std::string& address, std::uint16_t port, std::span<const std::uint8_t> data) {
        listener.sendDatagram(address, port, data);
    };
    ASSERT_TRUE(terminal.open(replies.handler()));
    ASSERT_TRUE(terminal.bindPort("127.0.0.1", 0));

    ASSERT_TRUE(listener.open(echo));
    ASSERT_TRUE(listener.bindPort("", 0));
    const std::uint16_t port = listener.localPort();
    ASSERT_NE(port, 0);

    for (int start = 0; start < 2; ++start) {
        if (start > 0) {
            EXPECT_TRUE(listener.close());
            EXPECT_FALSE(listener.isOpen());
            EXPECT_EQ(terminal.sendDatagram("127.0.0.1", port, kFrame), static_cast<int>(kFrame.size()));
            // Nothing listens now: no reply comes, and the port unreachable that Windows reports for
            // this datagram must not spoil the terminal's next receive.
            EXPECT_FALSE(replies.next(300ms).has_value());
            ASSERT_TRUE(listener.open(echo));
            ASSERT_TRUE(listener.bindPort("", port)) << "the port must be free again after closesocket";
        }
        ASSERT_EQ(terminal.sendDatagram("127.0.0.1", port, kFrame), static_cast<int>(kFrame.size()));
        const auto reply = replies.next();
        ASSERT_TRUE(reply.has_value()) << "no reply on start " << start;
        EXPECT_EQ(reply->address, "127.0.0.1");
        EXPECT_EQ(reply->port, port) << "replies leave through the listening port";
        EXPECT_EQ(reply->data, kFrame);
    }
    EXPECT_TRUE(listener.close());
    EXPECT_TRUE(terminal.close());
}

TEST(Winsock, ABusyPortIsReportedWithItsWinsockCode) {
    UdpEndpoint holder, second;
    ASSERT_TRUE(holder.open({}));
    ASSERT_TRUE(holder.bindPort("", 0));
    ASSERT_TRUE(second.open({}));
    ::testing::internal::CaptureStderr();
    const bool bound = second.bindPort("", holder.localPort());
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(bound);
    const bool inUse = log.find("WSA error " + std::to_string(WSAEADDRINUSE)) != std::string::npos ||
                       log.find("WSA error " + std::to_string(WSAEACCES)) != std::string::npos;
    EXPECT_TRUE(inUse) << log;
    EXPECT_EQ(log.find('\r'), std::string::npos) << "the system text keeps its line break: " << log;
}

TEST(Winsock, CloseEndsABlockedReceiveAtOnce) {
    // Well below the receive timeout: the worker is woken, not left to time out. The middle of a
    // few rounds keeps a busy machine from deciding the outcome.
    for (const char* address : {"127.0.0.1", ""}) {
        std::vector<std::chrono::steady_clock::duration> took;
        for (int round = 0; round < 5; ++round) {
            Inbox heard;
            UdpEndpoint listener;
            ASSERT_TRUE(listener.open(heard.handler()));
            ASSERT_TRUE(listener.bindPort(address, 0));
            std::this_thread::sleep_for(30ms); // the worker is inside recvfrom now
            const auto before = std::chrono::steady_clock::now();
            EXPECT_TRUE(listener.close());
            took.push_back(std::chrono::steady_clock::now() - before);
            EXPECT_FALSE(heard.next(0ms).has_value()) << "the wake-up reached the handler";
        }
        std::sort(took.begin(), took.end());
        EXPECT_LT(took[took.size() / 2], 100ms) << "bound to \"" << address << "\"";
    }
}

TEST(Winsock, AReplyToAVanishedTerminalDoesNotStopReception) {
    // A terminal that has gone away leaves a closed port behind; Windows answers the reply with
    // ICMP port unreachable, which must not disturb the next receive.
    std::uint16_t vanished = 0;
    {
        UdpEndpoint gone;
        ASSERT_TRUE(gone.open({}));
        ASSERT_TRUE(gone.bindPort("127.0.0.1", 0));
        vanished = gone.localPort();
    }
    Inbox heard;
    UdpEndpoint listener, terminal;
    ASSERT_TRUE(listener.open(heard.handler()));
    ASSERT_TRUE(listener.bindPort("127.0.0.1", 0));
    ASSERT_TRUE(terminal.open({}));
    for (int i = 0; i < 3; ++i)
        listener.sendDatagram("127.0.0.1", vanished, kFrame);
    std::this_thread::sleep_for(100ms);
    ASSERT_EQ(terminal.sendDatagram("127.0.0.1", listener.localPort(), kFrame), static_cast<int>(kFrame.size()));
    const auto got = heard.next();
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->data, kFrame);
}

} // namespace
