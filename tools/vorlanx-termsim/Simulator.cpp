#include "tools/vorlanx-termsim/Simulator.h"

#include "tools/vorlanx-termsim/HostileDatagrams.h"
#include "tools/vorlanx-termsim/SimulatedTerminal.h"

#include <algorithm>
#include <memory>
#include <random>
#include <span>
#include <thread>
#include <vector>

#ifdef __linux__
#include <sys/epoll.h>
#include <unistd.h>
#endif

namespace vorlanx::tools {

namespace {

using Clock = SimulatedTerminal::Clock;

// The terminals' source address: 127.0.0.2, 127.0.0.3, ... so that every terminal is its own
// entry in the service's online list, as on a canteen network. Loopback only.
std::string terminalAddress(int index) {
    const int n = index + 2;
    return "127." + std::to_string(n / 65536 % 256) + "." + std::to_string(n / 256 % 256) + "." +
           std::to_string(n % 256);
}

bool onLoopback(std::uint32_t networkOrder) {
    return (reinterpret_cast<const std::uint8_t*>(&networkOrder)[0]) == 127;
}

// Which of a worker's sockets can be read. On Linux an epoll set registered once: a poll over
// the thousands of sockets of a large canteen at every wake-up costs more than the terminals'
// own work. Elsewhere a poll of them all.
class ReadableSockets {
public:
    explicit ReadableSockets(std::span<const TerminalSocket* const> sockets)
        : m_sockets(sockets), m_ready(new bool[sockets.size()]()) {
#ifdef __linux__
        m_epoll = epoll_create1(EPOLL_CLOEXEC);
        for (std::size_t i = 0; i < sockets.size() && m_epoll >= 0; ++i) {
            epoll_event event{};
            event.events = EPOLLIN;
            event.data.u64 = i;
            if (epoll_ctl(m_epoll, EPOLL_CTL_ADD, sockets[i]->handle(), &event) != 0) {
                ::close(m_epoll);
                m_epoll = -1;
            }
        }
        m_events.resize(std::clamp<std::size_t>(sockets.size(), 1, 1024));
#endif
    }
    ~ReadableSockets() {
#ifdef __linux__
        if (m_epoll >= 0)
            ::close(m_epoll);
#endif
    }
    ReadableSockets(const ReadableSockets&) = delete;
    ReadableSockets& operator=(const ReadableSockets&) = delete;

    // Waits up to timeoutMicros for a readable socket and calls visit(index) for each one.
    template <typename Visit> void wait(long timeoutMicros, Visit&& visit) {
        timeoutMicros = std::max(0L, timeoutMicros);
#ifdef __linux__
        if (m_epoll >= 0) {
            const timespec wait{timeoutMicros / 1000000, (timeoutMicros % 1000000) * 1000};
            const int n = epoll_pwait2(m_epoll, m_events.data(), static_cast<int>(m_events.size()), &wait, nullptr);
            for (int i = 0; i < n; ++i)
                visit(static_cast<std::size_t>(m_events[static_cast<std::size_t>(i)].data.u64));
            return;
        }
#endif
        waitReadable(m_sockets, std::span(m_ready.get(), m_sockets.size()), timeoutMicros);
        for (std::size_t i = 0; i < m_sockets.size(); ++i) {
            if (m_ready[i])
                visit(i);
        }
    }

private:
    std::span<const TerminalSocket* const> m_sockets;
    std::unique_ptr<bool[]> m_ready;
#ifdef __linux__
    int m_epoll = -1;
    std::vector<epoll_event> m_events;
#endif
};

} // namespace

Simulator::Simulator(SimulatorOptions options) : m_options(std::move(options)) {}

unsigned Simulator::threadCount(const SimulatorOptions& options) {
    if (options.threads > 0)
        return std::min<unsigned>(options.threads, static_cast<unsigned>(std::max(1, options.terminals)));
    const unsigned machine = std::max(1U, std::thread::hardware_concurrency());
    return std::clamp<unsigned>(static_cast<unsigned>(options.terminals) / 16 + 1, 1, std::min(machine, 4U));
}

bool Simulator::takeRequest() {
    if (m_stop)
        return false;
    if (m_options.count == 0)
        return true;
    return m_started.fetch_add(1) < m_options.count;
}

SimulatorReport Simulator::run() {
    SimulatorReport total;
    std::uint32_t service = 0;
    if (!TerminalSocket::parseAddress(m_options.serviceAddress, service)) {
        total.error = "not an IPv4 address: " + m_options.serviceAddress;
        return total;
    }
    if (m_options.terminals < 1 || m_options.firstMachine + static_cast<unsigned>(m_options.terminals) - 1 > 65535) {
        total.error = "terminals and machine numbers must fit 1 to 65535";
        return total;
    }
    if (m_options.cards.empty()) {
        total.error = "no card numbers to use";
        return total;
    }
    const bool distinct = m_options.distinctAddresses && onLoopback(service);
    std::vector<std::unique_ptr<SimulatedTerminal>> terminals;
    std::mt19937_64 stagger(m_options.seed);
    const auto start = Clock::now();
    for (int i = 0; i < m_options.terminals; ++i) {
        // Keep-alives are spread over the period so that a fleet does not beat in step.
        const auto offset =
            m_options.heartbeat.count() > 0
                ? std::chrono::milliseconds(stagger() % static_cast<std::uint64_t>(m_options.heartbeat.count()))
                : std::chrono::milliseconds(0);
        auto t = std::make_unique<SimulatedTerminal>(
            m_options, static_cast<std::uint16_t>(m_options.firstMachine + static_cast<unsigned>(i)), service,
            start + offset);
        const std::string address = distinct ? terminalAddress(i + static_cast<int>(m_options.firstAddress)) : (onLoopback(service) ? "127.0.0.1" : "");
        if (!t->bind(address)) {
            total.error = t->error();
            return total;
        }
        terminals.push_back(std::move(t));
    }

    const unsigned threads = threadCount(m_options);
    std::vector<SimulatedTerminal*> all;
    for (auto& t : terminals)
        all.push_back(t.get());
    std::vector<SimulatorReport> reports(threads);
    {
        std::vector<std::jthread> workers;
        std::size_t first = 0;
        for (unsigned w = 0; w < threads; ++w) {
            const std::size_t share = all.size() / threads + (w < all.size() % threads ? 1 : 0);
            workers.emplace_back(
                [this, w, first, share, &all, &reports] { runWorker(w, all.data() + first, share, reports[w]); });
            first += share;
        }
    } // the workers are joined here
    for (const auto& r : reports)
        total.merge(r);
    return total;
}

void Simulator::runWorker(std::size_t index, SimulatedTerminal* const* terminals, std::size_t count,
                          SimulatorReport& report) {
    const SimulatorOptions& o = m_options;
    std::mt19937_64 random(o.seed * 1000003 + index);
    HostileDatagrams hostile(o.seed * 7919 + index);
    const unsigned mixSum = o.mix[0] + o.mix[1] + o.mix[2];
    std::discrete_distribution<int> kindOf(o.mix.begin(), o.mix.end());
    std::uniform_int_distribution<std::size_t> cardOf(0, o.cards.size() - 1);
    std::uniform_int_distribution<std::uint32_t> amountOf(o.amountMinFen, std::max(o.amountMinFen, o.amountMaxFen));
    std::uniform_real_distribution<double> share(0, 1);

    const double seconds = o.durationSeconds > 0 ? o.durationSeconds : (o.count > 0 ? 0 : 10);
    const auto start = Clock::now();
    const auto stopAt =
        seconds > 0 ? start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds))
                    : Clock::time_point::max();
    const unsigned threads = threadCount(o);
    const bool openLoop = o.rate > 0;
    const auto interval =
        openLoop ? std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(threads / o.rate))
                 : Clock::duration::zero();
    // Open loop: the threads' schedules interleave instead of firing together.
    auto nextSlot = start + interval * static_cast<long>(index) / static_cast<long>(threads);
    std::size_t roundRobin = 0;
    auto lastAnswer = start;
    std::uint64_t answeredBefore = 0;

    std::vector<const TerminalSocket*> sockets;
    for (std::size_t i = 0; i < count; ++i)
        sockets.push_back(&terminals[i]->socket());
    ReadableSockets readable(sockets);

    auto startOne = [&](SimulatedTerminal& t, Clock::time_point origin, Clock::time_point now) {
        // A share of the sends are hostile datagrams in place of a request.
        for (int n = 0; n < 8 && o.garbage > 0 && share(random) < o.garbage; ++n)
            t.sendGarbage(hostile.next(t.machine()), report);
        if (o.settingDone > 0 && share(random) < o.settingDone)
            t.sendSettingDone(report);
        t.start(static_cast<RequestKind>(kindOf(random)), o.cards[cardOf(random)], amountOf(random), origin, now,
                report);
    };

    bool producing = true;
    for (;;) {
        auto now = Clock::now();
        if (producing && (now >= stopAt || m_stop))
            producing = false;
        if (producing && mixSum > 0) {
            if (!openLoop) {
                for (std::size_t i = 0; i < count && producing; ++i) {
                    if (!terminals[i]->idle())
                        continue;
                    if (!takeRequest()) {
                        producing = false;
                        break;
                    }
                    startOne(*terminals[i], now, now);
                }
            } else {
                while (producing && nextSlot <= now) {
                    SimulatedTerminal* free = nullptr;
                    for (std::size_t n = 0; n < count && !free; ++n) {
                        SimulatedTerminal* t = terminals[(roundRobin + n) % count];
                        if (t->idle()) {
                            free = t;
                            roundRobin = (roundRobin + n + 1) % count;
                        }
                    }
                    // Every terminal busy: the slot waits and its delay counts as latency.
                    if (!free)
                        break;
                    if (!takeRequest()) {
                        producing = false;
                        break;
                    }
                    startOne(*free, nextSlot, now);
                    nextSlot += interval;
                }
            }
        }
        bool allIdle = true;
        auto deadline =
            producing ? std::min(stopAt, now + std::chrono::milliseconds(20)) : now + std::chrono::milliseconds(20);
        if (producing && openLoop)
            deadline = std::min(deadline, nextSlot);
        for (std::size_t i = 0; i < count; ++i) {
            allIdle = allIdle && terminals[i]->idle();
            deadline = std::min(deadline, terminals[i]->nextDeadline(producing));
        }
        if (!producing && allIdle)
            break;
        const long wait =
            static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(deadline - now).count());
        bool woken = false;
        readable.wait(wait, [&](std::size_t i) {
            if (!woken) {
                now = Clock::now();
                woken = true;
            }
            terminals[i]->receiveAll(now, report, random);
        });
        now = Clock::now();
        if (report.answered != answeredBefore) {
            answeredBefore = report.answered;
            lastAnswer = now;
        }
        for (std::size_t i = 0; i < count; ++i)
            terminals[i]->onTimers(now, report, producing);
    }
    report.seconds = std::chrono::duration<double>(lastAnswer - start).count();
}

} // namespace vorlanx::tools
