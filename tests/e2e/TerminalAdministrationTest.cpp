// A simulated terminal answers the administration frames as a terminal does: its clock, the size
// of the white list it holds, "81" for each setting it stores; frames with a bad checksum or
// for another machine number go unanswered.

#include "link/FrameBuilders.h"
#include "link/HexText.h"
#include "link/UdpEndpoint.h"
#include "tools/vorlanx-termsim/Simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;
using namespace vorlanx;

// The service's side: a socket that keeps what the terminal sends and where it came from.
class FakeService {
public:
    FakeService() {
        m_endpoint.open([this](const std::string& address, std::uint16_t port, std::span<const std::uint8_t> data) {
            std::lock_guard lock(m_mutex);
            m_address = address;
            m_port = port;
            const std::string frame = link::bytesToHex(data);
            // Keep-alives are answered as the service answers them and not kept.
            if (frame.substr(8, 8) == "00057400") {
                m_endpoint.sendDatagram(address, port,
                                        link::hexToBytes(link::acknowledgementFrame(frame.substr(0, 8))));
                ++m_keepAlives;
            } else {
                m_frames.push_back(frame);
            }
            m_cv.notify_all();
        });
        m_endpoint.bindPort("127.0.0.1", 0);
    }

    std::uint16_t port() const { return m_endpoint.localPort(); }

    bool waitForTerminal() {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, 10s, [&] { return m_keepAlives > 0; });
    }

    void send(const std::string& frameHex) {
        std::string address;
        std::uint16_t port = 0;
        {
            std::lock_guard lock(m_mutex);
            address = m_address;
            port = m_port;
        }
        m_endpoint.sendDatagram(address, port, link::hexToBytes(frameHex));
    }

    std::optional<std::string> next(std::chrono::milliseconds limit = 5s) {
        std::unique_lock lock(m_mutex);
        if (!m_cv.wait_for(lock, limit, [&] { return !m_frames.empty(); }))
            return std::nullopt;
        std::string frame = m_frames.front();
        m_frames.pop_front();
        return frame;
    }

    std::string terminalAddress() {
        std::lock_guard lock(m_mutex);
        return m_address;
    }

private:
    link::UdpEndpoint m_endpoint;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::string> m_frames;
    std::string m_address;
    std::uint16_t m_port = 0;
    int m_keepAlives = 0;
};

TEST(TerminalAdministration, AnswersLikeATerminal) {
    FakeService service;
    tools::SimulatorOptions o;
    o.servicePort = service.port();
    o.mix = {0, 0, 0};
    o.durationSeconds = 60;
    o.heartbeat = 100ms;
    o.firstMachine = 1;
    tools::Simulator simulator(o);
    tools::SimulatorReport report;
    std::jthread run([&] { report = simulator.run(); });

    ASSERT_TRUE(service.waitForTerminal());
    EXPECT_EQ(service.terminalAddress(), "127.0.0.2");

    service.send(link::readCountFrame("1"));
    EXPECT_EQ(service.next(), link::buildFrame("0001", "0005", "51", "00000000"));

    service.send(link::whitelistBlockFrame("1", link::whitelistEntry("12345678") + link::whitelistEntry("12345679")));
    EXPECT_EQ(service.next(), "FE010001000181E40C");
    service.send(link::readCountFrame("1"));
    EXPECT_EQ(service.next(), link::buildFrame("0001", "0005", "51", "00000002"));

    service.send(link::setClockFrame("1", "2026120701235928"));
    EXPECT_EQ(service.next(), "FE010001000181E40C");
    service.send(link::readClockFrame("1"));
    const auto clock = service.next();
    ASSERT_TRUE(clock);
    EXPECT_EQ(clock->substr(8, 6), "000911");
    EXPECT_EQ(clock->substr(14, 14), "20261207012359");

    service.send(link::titleFrame("1", "\xBB\xB6\xD3\xAD\xCA\xB9\xD3\xC3IC\xCF\xFB\xB7\xD1\xBB\xFA"));
    EXPECT_EQ(service.next(), "FE010001000181E40C");
    service.send(link::deleteWhitelistFrame("1"));
    EXPECT_EQ(service.next(), "FE010001000181E40C");
    service.send(link::readCountFrame("1"));
    EXPECT_EQ(service.next(), link::buildFrame("0001", "0005", "51", "00000000"));

    // Another terminal's frame and a broken checksum: no answer.
    service.send(link::readCountFrame("2"));
    std::string broken = link::readCountFrame("1");
    broken.back() = broken.back() == '0' ? '1' : '0';
    service.send(broken);
    EXPECT_EQ(service.next(300ms), std::nullopt);

    simulator.requestStop();
    run.join();
    EXPECT_EQ(report.adminFrames, 8u);
    EXPECT_EQ(report.malformed, 2u);
    EXPECT_GT(report.heartbeatsAnswered, 0u);
}

} // namespace
