// Stopping and the watchdog with a database that waits: vorlanxd as a real process on the
// built-in database file, held locked by another connection as vorlanx-db or an office tool may
// hold it, real payments over UDP, SIGTERM and the notify socket.

#include "db/BuiltinDatabase.h"
#include "link/UdpEndpoint.h"
#include "tests/e2e/Canteen.h"
#include "tests/e2e/ServiceProcess.h"
#include "tests/support/NotifySocket.h"
#include "tools/vorlanx-termsim/TerminalFrames.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using namespace vorlanx;
using Clock = std::chrono::steady_clock;

// A terminal socket that pays from many machine numbers at once and keeps the machines whose
// payment was answered "paid" (result field "0101" + "00").
class PayingTerminals {
public:
    PayingTerminals() {
        m_ready = m_socket.open([this](const std::string&, std::uint16_t, std::span<const std::uint8_t> data) {
            const tools::ReceivedFrame frame = tools::readFrame(data);
            if (!frame.valid || frame.command != tools::kCommandCardTransaction)
                return;
            const auto result = tools::cardReplyResult(frame.parameters);
            std::lock_guard lock(m_mutex);
            if (result == "010100")
                m_paid.insert(frame.machine);
            else
                m_other.insert(frame.machine);
        }) && m_socket.bindPort("127.0.0.1", 0);
    }
    bool ready() const { return m_ready; }
    void pay(std::uint16_t port, std::uint16_t machine, std::uint32_t card) {
        const tools::Bytes frame = tools::onlinePaymentFrame(machine, card, 1);
        m_socket.sendDatagram("127.0.0.1", port, frame);
    }
    std::set<std::uint16_t> paid() {
        std::lock_guard lock(m_mutex);
        return m_paid;
    }
    std::set<std::uint16_t> otherAnswers() {
        std::lock_guard lock(m_mutex);
        return m_other;
    }
    // Waits until `count` machines were answered "paid", at most limit.
    bool waitPaid(std::size_t count, std::chrono::milliseconds limit) {
        const auto deadline = Clock::now() + limit;
        while (paid().size() < count && Clock::now() < deadline)
            std::this_thread::sleep_for(20ms);
        return paid().size() >= count;
    }

private:
    link::UdpEndpoint m_socket;
    bool m_ready = false;
    std::mutex m_mutex;
    std::set<std::uint16_t> m_paid;
    std::set<std::uint16_t> m_other;
};

std::set<std::uint16_t> bookedMachines(const e2e::Canteen& canteen) {
    std::set<std::uint16_t> machines;
    for (const e2e::BookedRecord& record : canteen.records())
        if (record.kind == "online")
            machines.insert(record.machine);
    return machines;
}

std::string vorlanxctl(const std::filesystem::path& dir, const std::string& arguments) {
    const std::string command = std::string(VORLANXCTL_PATH) + " --dir '" + dir.string() + "' " + arguments + " 2>&1";
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char chunk[512];
        while (const std::size_t n = std::fread(chunk, 1, sizeof chunk, pipe))
            output.append(chunk, n);
        ::pclose(pipe);
    }
    return output;
}

bool waitForLog(const e2e::ServiceProcess& service, const std::string& part, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (service.log().find(part) == std::string::npos) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// More payments than there are booking workers (64): the rest wait in the queue.
constexpr std::uint16_t kPayments = 100;

TEST(StopAndWatchdog, SigtermAnswersEveryPaymentItBookedAndDropsTheOnesNotStarted) {
    e2e::Canteen canteen(10);
    const std::vector<std::uint32_t> cards = canteen.cards();
    e2e::ServiceProcess service(canteen.dir());
    ASSERT_TRUE(service.start()) << service.log();
    PayingTerminals terminals;
    ASSERT_TRUE(terminals.ready());

    // Held well within SQLite's 5 s busy wait, so that every booking waits and none fails.
    db::BuiltinDatabase locker;
    ASSERT_TRUE(locker.open(canteen.databaseFile().string()));
    ASSERT_TRUE(locker.runQuery("BEGIN IMMEDIATE").isOpen());
    for (std::uint16_t machine = 1; machine <= kPayments; ++machine)
        terminals.pay(service.port(), machine, cards[machine % cards.size()]);
    std::this_thread::sleep_for(800ms); // taken up by the booking workers, which wait on the lock

    service.terminate();
    ASSERT_TRUE(waitForLog(service, "vorlanxd: stopping", 3s)) << service.log();
    std::this_thread::sleep_for(300ms);
    // The service takes no more datagrams: this one is neither booked nor answered.
    terminals.pay(service.port(), 500, cards[0]);
    std::this_thread::sleep_for(200ms);
    ASSERT_TRUE(locker.runQuery("COMMIT").isOpen());

    EXPECT_EQ(service.exited(20s), 0) << service.log();
    const std::set<std::uint16_t> booked = bookedMachines(canteen);
    ASSERT_FALSE(booked.empty()) << service.log();
    terminals.waitPaid(booked.size(), 2s);
    EXPECT_EQ(terminals.paid(), booked) << "every booked payment answered, and no answer without a booking";
    EXPECT_TRUE(terminals.otherAnswers().empty());
    EXPECT_EQ(booked.count(500), 0u);
    const std::string dropped = "dropped before a worker took them up: " + std::to_string(kPayments - booked.size()) +
                                " payments, 0 offline records, 0 card queries";
    EXPECT_NE(service.log().find(dropped), std::string::npos) << service.log();
    EXPECT_EQ(service.log().find("still under way"), std::string::npos) << service.log();
}

#if VORLANXD_SYSTEMD

TEST(StopAndWatchdog, WaitingOnALockedDatabaseKeepsTheWatchdogBeatingAndPaymentsResume) {
    e2e::Canteen canteen(10);
    const std::vector<std::uint32_t> cards = canteen.cards();
    test::NotifySocket notify;
    ASSERT_TRUE(notify.bound());
    // A short interval for the test: vorlanxd beats every 0.6 s while it shows progress.
    constexpr auto kInterval = 1200ms;
    setenv("WATCHDOG_USEC", std::to_string(std::chrono::microseconds(kInterval).count()).c_str(), 1);
    e2e::ServiceProcess service(canteen.dir());
    ASSERT_TRUE(service.start()) << service.log();
    PayingTerminals terminals;
    ASSERT_TRUE(terminals.ready());

    db::BuiltinDatabase locker;
    ASSERT_TRUE(locker.open(canteen.databaseFile().string()));
    ASSERT_TRUE(locker.runQuery("BEGIN IMMEDIATE").isOpen());
    const auto locked = Clock::now();
    for (std::uint16_t machine = 1; machine <= kPayments; ++machine)
        terminals.pay(service.port(), machine, cards[machine % cards.size()]);

    // Locked for three intervals: all 64 booking workers wait on the lock, the other payments
    // wait in the queue, and the beat goes on all the while.
    std::vector<Clock::time_point> beats = notify.beatsUntil(locked + 2 * kInterval);
    const std::string status = vorlanxctl(canteen.dir(), "status");
    const std::vector<Clock::time_point> later = notify.beatsUntil(locked + 3 * kInterval);
    beats.insert(beats.end(), later.begin(), later.end());
    ASSERT_TRUE(locker.runQuery("COMMIT").isOpen());
    EXPECT_NE(status.find("state:           waiting on the database"), std::string::npos) << status;
    EXPECT_NE(status.find("queue depth:     " + std::to_string(kPayments - 64)), std::string::npos) << status;
    ASSERT_GE(beats.size(), 3u);
    auto previous = locked;
    for (const auto beat : beats) {
        EXPECT_LT(beat - previous, kInterval) << "a gap in the beat";
        previous = beat;
    }
    EXPECT_LT(locked + 3 * kInterval - previous, kInterval) << "the beat stopped";
    EXPECT_TRUE(terminals.paid().empty()) << "nothing booked while the lock was held";
    EXPECT_NE(service.log().find("waiting on the database"), std::string::npos) << service.log();

    // The lock gone, every payment is booked and answered.
    EXPECT_TRUE(terminals.waitPaid(kPayments, 20s)) << terminals.paid().size() << " answered\n" << service.log();
    EXPECT_EQ(bookedMachines(canteen).size(), kPayments);
    EXPECT_FALSE(notify.beatsUntil(Clock::now() + kInterval).empty());
    service.terminate();
    EXPECT_EQ(service.exited(20s), 0);
}
#endif

} // namespace
